// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

namespace kavro::models {

// The user's day may start later than midnight (an engineer who mixes until 3 a.m.
// still counts the night as one day). A day is named after the calendar date on which
// it starts, and starts at the same local time every day, however long the day is when
// the clocks change.

// The latest start a day can have: a minute before the next midnight.
inline constexpr int kLastDayStartMinutes = 24 * 60 - 1;

// Minutes after midnight, kept within a day.
int boundedDayStartMinutes(long long minutes);

// The user's day on which `moment` falls, in `zone`.
QDate userDayOf(const QDateTime& moment, const QTimeZone& zone, int dayStartMinutes);
// The first moment of the user's day `day` in `zone`. A start time that the clocks skip
// that day (the hour lost in spring) is moved on by the hour skipped.
QDateTime userDayStart(QDate day, const QTimeZone& zone, int dayStartMinutes);

} // namespace kavro::models
