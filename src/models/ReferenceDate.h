// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>

#include <optional>

namespace kavro::models {

// Dates in the stored calibration formats are JSON numbers: seconds since
// 2001-01-01 00:00:00 UTC, with fraction (millisecond precision is kept).
namespace referenceDate {

double toSeconds(const QDateTime& moment);
// None for a value that is not finite or lies outside the dates QDateTime can hold.
std::optional<QDateTime> fromSeconds(double seconds);

} // namespace referenceDate
} // namespace kavro::models
