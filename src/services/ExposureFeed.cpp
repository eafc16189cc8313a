// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/ExposureFeed.h"

#include "services/CriteriaMeter.h"
#include "services/DoseCalculator.h"
#include "services/LeqStatisticsService.h"
#include "services/SessionManager.h"

namespace kavro::services {

ExposureFeed::ExposureFeed(DoseCalculator& dose, LeqStatisticsService& statistics, SessionManager* sessions,
                           CriteriaMeter* criteria)
    : m_dose(dose), m_statistics(statistics), m_sessions(sessions), m_criteria(criteria) {}

bool ExposureFeed::feed(const dsp::IntervalLevels& interval, const QDateTime& at) {
    if (!interval.hasAudio()) {
        return false;
    }
    m_dose.addMeasurement(interval.laeq, interval.lceq, interval.peakDBC, interval.peakDBA, at);
    if (m_criteria) {
        m_criteria->addMeasurement(interval.laeq, at);
    }
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
