// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/ExposureFeed.h"

#include "services/DoseCalculator.h"
#include "services/LeqStatisticsService.h"
#include "services/SessionManager.h"

namespace kavro::services {

ExposureFeed::ExposureFeed(DoseCalculator& dose, LeqStatisticsService& statistics, SessionManager* sessions)
    : m_dose(dose), m_statistics(statistics), m_sessions(sessions) {}

bool ExposureFeed::feed(const dsp::IntervalLevels& interval, const QDateTime& at) {
    if (!interval.hasAudio()) {
        return false;
    }
    m_dose.addMeasurement(interval.laeq, interval.lceq, interval.peakDBC, interval.peakDBA, at);
    m_statistics.addReading(interval.laeq);
    if (m_sessions && m_sessions->currentSession()) {
        m_sessions->updateStatistics(interval.laeq, interval.peakDBC, interval.peakDBA,
                                     interval.durationSeconds);
    }
    if (onLevel) {
        onLevel(interval.laeq);
    }
    return true;
}

} // namespace kavro::services
