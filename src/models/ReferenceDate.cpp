// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/ReferenceDate.h"

#include <QTimeZone>

#include <cmath>

namespace kavro::models::referenceDate {

namespace {

// 2001-01-01T00:00:00Z in milliseconds since the Unix epoch.
constexpr qint64 kReferenceEpochMSecs = 978307200000;
// About ±100 000 years: far beyond any real date, safely inside QDateTime's range.
constexpr double kLimitSeconds = 3.0e12;

} // namespace

double toSeconds(const QDateTime& moment) {
    return static_cast<double>(moment.toMSecsSinceEpoch() - kReferenceEpochMSecs) / 1000.0;
}

std::optional<QDateTime> fromSeconds(double seconds) {
    if (!std::isfinite(seconds) || std::abs(seconds) > kLimitSeconds) {
        return std::nullopt;
    }
    const auto msecs = static_cast<qint64>(std::llround(seconds * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(kReferenceEpochMSecs + msecs, QTimeZone::utc());
}

} // namespace kavro::models::referenceDate
