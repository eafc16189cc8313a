// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/DayBoundary.h"

#include <algorithm>

namespace kavro::models {

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

QTime dayStartTime(int dayStartMinutes) {
    return QTime(0, 0).addSecs(boundedDayStartMinutes(dayStartMinutes) * kSecondsPerMinute);
}

} // namespace

int boundedDayStartMinutes(long long minutes) {
    return static_cast<int>(std::clamp<long long>(minutes, 0, kLastDayStartMinutes));
}

QDate userDayOf(const QDateTime& moment, const QTimeZone& zone, int dayStartMinutes) {
    const QDateTime local = moment.toTimeZone(zone);
    if (dayStartMinutes <= 0 || local.time() >= dayStartTime(dayStartMinutes)) {
        return local.date();
    }
    return local.date().addDays(-1);
}

QDateTime userDayStart(QDate day, const QTimeZone& zone, int dayStartMinutes) {
    if (dayStartMinutes <= 0) {
        return day.startOfDay(zone);
    }
    const QTime start = dayStartTime(dayStartMinutes);
    QDateTime moment(day, start, zone);
    if (!moment.isValid()) {
        moment = QDateTime(day, start.addSecs(kSecondsPerHour), zone);
    }
    return moment;
}

} // namespace kavro::models
