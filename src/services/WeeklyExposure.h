// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/Session.h"
#include "platform/Clock.h"

#include <QDate>
#include <QList>

#include <array>

namespace kavro::services {

// The WHO / ITU-T H.870 weekly sound dose: the A-weighted sound exposure of the last
// seven of the user's days, today included, against 1.6 Pa²h. Built from the history
// each time it is asked for, never kept apart from it: the six days before today are
// their completed sessions, today is today's running figure, or today's completed
// sessions if they hold more (after a restart that lost the running figure).
class WeeklyExposure {
public:
    static constexpr int kDays = 7;

    struct Day {
        QDate day;
        // Pa²h.
        double soundExposure = 0;
    };

    WeeklyExposure(const QList<models::Session>& history, const platform::Clock& clock,
                   double todaySoundExposure);

    // Oldest first; the last is today.
    const std::array<Day, kDays>& days() const { return m_days; }
    double soundExposure() const;
    // 1.0 = the whole weekly allowance.
    double dose() const;

private:
    std::array<Day, kDays> m_days;
};

} // namespace kavro::services
