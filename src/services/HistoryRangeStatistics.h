// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/Session.h"
#include "platform/Clock.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QUuid>

#include <cstdint>
#include <optional>

namespace kavro::services {

// The numbers the history window shows about a range of whole days, computed once from
// the completed sessions, today's live dose and the clock, and independent of any
// view. A day is a calendar day in the clock's time zone; a session belongs to the day
// on which it started. Today's dose is always the live value, which also holds the
// running session and dose accrued outside sessions.
class HistoryRangeStatistics {
public:
    // The EU weekly level needs at least five days and always normalises to five.
    static constexpr int kWorkingWeekDays = 5;

    // The completed sessions of one day, oldest first, with the day's running dose.
    struct DayGroup {
        QDate day;
        QList<models::Session> sessions;
        QList<double> cumulativeDose; // per session: the day's dose up to and including it
        double totalDose = 0;
    };

    HistoryRangeStatistics(const QList<models::Session>& history, double liveDosePercentage,
                           const platform::Clock& clock, QDate rangeStart, QDate rangeEnd);

    // The day whose dose is the live one.
    QDate today() const { return m_today; }
    QDate rangeStart() const { return m_rangeStart; }
    QDate rangeEnd() const { return m_rangeEnd; }

    // Percent of the daily allowance on a day.
    double dose(QDate day) const;
    // Completed sessions that started on a day.
    int sessionCount(QDate day) const;
    bool isInRange(QDate day) const { return day >= m_rangeStart && day <= m_rangeEnd; }

    // Completed sessions that started within the range, newest first.
    const QList<models::Session>& rangeSessions() const { return m_rangeSessions; }
    int rangeDays() const { return m_rangeDays; }
    double totalDose() const { return m_totalDose; }
    double averageDosePerDay() const { return m_totalDose / m_rangeDays; }
    // L_EX,w in dB, from each day's equivalent 8-hour level; no value below five days
    // or without any dose.
    std::optional<double> euWeeklyLevel() const { return m_euWeeklyLevel; }
    std::optional<double> rangePeakSPL() const { return m_rangePeakSPL; }
    std::optional<double> rangePeakDBC() const { return m_rangePeakDBC; }
    // Impulses of 135 dBC or more over the range's sessions.
    std::int64_t impulseTotal() const { return m_impulseTotal; }
    // How much of the range's budget (100 % a day) the total dose fills, 0 to 1.
    double cumulativeFraction() const;

    // Days with sessions, newest day first.
    const QList<DayGroup>& groupedRangeSessions() const { return m_groups; }
    // Each range session's day dose up to and including it.
    const QHash<QUuid, double>& cumulativeDayDose() const { return m_cumulativeDayDose; }

private:
    struct DayTotals {
        double dose = 0;
        int sessionCount = 0;
    };

    void computeTotals();
    void computeGroups();

    QDate m_today;
    double m_liveDose;
    QDate m_rangeStart;
    QDate m_rangeEnd;
    int m_rangeDays;
    QHash<QDate, DayTotals> m_days;
    QList<models::Session> m_rangeSessions;
    QList<QDate> m_rangeSessionDays; // the start day of each range session
    double m_totalDose = 0;
    std::optional<double> m_euWeeklyLevel;
    std::optional<double> m_rangePeakSPL;
    std::optional<double> m_rangePeakDBC;
    std::int64_t m_impulseTotal = 0;
    QList<DayGroup> m_groups;
    QHash<QUuid, double> m_cumulativeDayDose;
};

} // namespace kavro::services
