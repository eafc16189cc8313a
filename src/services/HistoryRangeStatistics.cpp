// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/HistoryRangeStatistics.h"

#include "dsp/DoseMath.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kavro::services {

using models::Session;

HistoryRangeStatistics::HistoryRangeStatistics(const QList<Session>& history, double liveDosePercentage,
                                               const platform::Clock& clock, QDate rangeStart, QDate rangeEnd)
    : m_today(clock.today()), m_liveDose(liveDosePercentage), m_rangeStart(rangeStart), m_rangeEnd(rangeEnd),
      m_rangeDays(std::max(1, static_cast<int>(rangeStart.daysTo(rangeEnd)) + 1)) {
    for (const Session& session : history) {
        if (!session.isCompleted()) {
            continue;
        }
        const QDate day = clock.dayOf(session.startDate);
        DayTotals& totals = m_days[day];
        totals.dose += session.doseAccumulated;
        ++totals.sessionCount;
        if (isInRange(day)) {
            m_rangeSessions.append(session);
            m_rangeSessionDays.append(day);
        }
    }
    computeTotals();
    computeGroups();
}

double HistoryRangeStatistics::dose(QDate day) const {
    if (day == m_today) {
        return m_liveDose;
    }
    return m_days.value(day).dose;
}

int HistoryRangeStatistics::sessionCount(QDate day) const {
    return m_days.value(day).sessionCount;
}

void HistoryRangeStatistics::computeTotals() {
    double energy = 0;
    for (int i = 0; i < m_rangeDays; ++i) {
        const double dayDose = dose(m_rangeStart.addDays(i));
        m_totalDose += dayDose;
        if (dayDose > 0) {
            const double dayLevel = dsp::dose::equivalentLevelDb(dayDose / 100.0);
            energy += std::pow(10.0, dayLevel / 10.0);
        }
    }
    if (m_rangeDays >= kWorkingWeekDays && energy > 0) {
        m_euWeeklyLevel = 10.0 * std::log10(energy / kWorkingWeekDays);
    }

    double peakSPL = 0;
    double peakDBC = 0;
    for (const Session& session : m_rangeSessions) {
        peakSPL = std::max(peakSPL, session.peakSPL);
        peakDBC = std::max(peakDBC, session.peakDBC);
        m_impulseTotal += session.peakCount135;
    }
    if (peakSPL > 0) {
        m_rangePeakSPL = peakSPL;
    }
    if (peakDBC > 0) {
        m_rangePeakDBC = peakDBC;
    }
}

double HistoryRangeStatistics::cumulativeFraction() const {
    const double budget = m_rangeDays * 100.0;
    return budget > 0 ? std::min(budget, m_totalDose) / budget : 0.0;
}

void HistoryRangeStatistics::computeGroups() {
    // Groups appear in the order of their first session in the (newest first) history,
    // then are ordered by that session's start, newest day first.
    QHash<QDate, qsizetype> groupOfDay;
    QList<QDateTime> firstStarts;
    for (qsizetype i = 0; i < m_rangeSessions.size(); ++i) {
        const QDate day = m_rangeSessionDays[i];
        auto found = groupOfDay.constFind(day);
        if (found == groupOfDay.constEnd()) {
            found = groupOfDay.insert(day, m_groups.size());
            m_groups.append(DayGroup{day, {}, {}, 0});
            firstStarts.append(m_rangeSessions[i].startDate);
        }
        m_groups[*found].sessions.append(m_rangeSessions[i]);
    }
    QList<qsizetype> order(m_groups.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return firstStarts[a] > firstStarts[b]; });
    QList<DayGroup> ordered;
    ordered.reserve(m_groups.size());
    for (qsizetype index : order) {
        DayGroup group = std::move(m_groups[index]);
        std::stable_sort(group.sessions.begin(), group.sessions.end(),
                         [](const Session& a, const Session& b) { return a.startDate < b.startDate; });
        for (const Session& session : group.sessions) {
            group.totalDose += session.doseAccumulated;
            group.cumulativeDose.append(group.totalDose);
            m_cumulativeDayDose.insert(session.id, group.totalDose);
        }
        ordered.append(std::move(group));
    }
    m_groups = std::move(ordered);
}

} // namespace kavro::services
