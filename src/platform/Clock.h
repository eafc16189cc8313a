// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

    // The calendar day on which a moment falls, in the user's time zone.
    QDate dayOf(const QDateTime& moment) const { return moment.toTimeZone(timeZone()).date(); }
    QDate today() const { return dayOf(now()); }
    bool isToday(const QDateTime& moment) const { return dayOf(moment) == today(); }
    // The first moment of a calendar day in the user's time zone.
    QDateTime startOfDay(QDate day) const { return day.startOfDay(timeZone()); }
};

} // namespace kavro::platform
