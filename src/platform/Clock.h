// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/DayBoundary.h"

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

#include <chrono>

namespace kavro::platform {

// The wall-clock "now", a clock for durations and the user's calendar. Every rule with
// time in it asks this interface, so tests drive time with a manual clock instead of
// sleeping.
class Clock {
public:
    virtual ~Clock() = default;

    virtual QDateTime now() const = 0;
    // Time from an arbitrary origin that only ever moves forward, also while the machine
    // sleeps. Durations are measured on it: the wall clock can be set back (by hand, or by
    // the network time service) and a session must never end before it started.
    virtual std::chrono::milliseconds elapsed() const = 0;
    // The time zone of the user's calendar.
    virtual QTimeZone timeZone() const = 0;

    // The user's day on which a moment falls, in the user's time zone: the calendar day,
    // or with a later day start the day that started last (see models/DayBoundary.h).
    QDate dayOf(const QDateTime& moment) const {
        return models::userDayOf(moment, timeZone(), m_dayStartMinutes);
    }
    QDate today() const { return dayOf(now()); }
    bool isToday(const QDateTime& moment) const { return dayOf(moment) == today(); }
    // The first moment of the user's day in the user's time zone.
    QDateTime startOfDay(QDate day) const { return models::userDayStart(day, timeZone(), m_dayStartMinutes); }

    // When the user's day starts, in minutes after local midnight (0 = midnight).
    int dayStartMinutes() const { return m_dayStartMinutes; }
    void setDayStartMinutes(long long minutes) {
        m_dayStartMinutes = models::boundedDayStartMinutes(minutes);
    }

private:
    int m_dayStartMinutes = 0;
};

} // namespace kavro::platform
