// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/WeeklyExposure.h"

#include "dsp/ExposureCriteria.h"

#include <algorithm>

namespace kavro::services {

WeeklyExposure::WeeklyExposure(const QList<models::Session>& history, const platform::Clock& clock,
                               double todaySoundExposure) {
    const QDate today = clock.today();
    for (int i = 0; i < kDays; ++i) {
        m_days[static_cast<std::size_t>(i)].day = today.addDays(i - (kDays - 1));
    }
    const QDate first = m_days.front().day;
    for (const models::Session& session : history) {
        if (!session.isCompleted()) {
            continue;
        }
        const QDate day = clock.dayOf(session.startDate);
        if (day < first || day > today) {
            continue;
        }
        m_days[static_cast<std::size_t>(first.daysTo(day))].soundExposure +=
            session.soundExposureOrEstimate();
    }
    double& todays = m_days.back().soundExposure;
    todays = std::max(todays, todaySoundExposure);
}

double WeeklyExposure::soundExposure() const {
    double total = 0;
    for (const Day& day : m_days) {
        total += day.soundExposure;
    }
    return total;
}

double WeeklyExposure::dose() const {
    return dsp::criteria::doseOfSoundExposure(dsp::criteria::Criterion::whoWeekly, soundExposure());
}

} // namespace kavro::services
