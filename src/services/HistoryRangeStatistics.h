#pragma once

#include "models/Session.h"
#include "platform/Clock.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>

namespace kavro::services {

// The colours the history window gives its values.
enum class HistoryColour { clear, green, yellow, orange, red, secondary, secondaryHalfOpacity };

// Everything the history window shows about a range of whole days, computed once from
// the completed sessions, today's live dose and the clock, and independent of any
// view. A day is a calendar day in the clock's time zone; a session belongs to the day
// on which it started. Today's dose is always the live value, which also holds the
// running session and dose accrued outside sessions.
class HistoryRangeStatistics {
public:
    // Ranges of at least this many days chart only their last 7 days.
    static constexpr int kLongRangeDays = 15;
    static constexpr int kChartDayCount = 7;
    // The EU weekly level needs at least five days and always normalises to five.
    static constexpr int kWorkingWeekDays = 5;
    static constexpr double kChartMaxBarHeight = 100;
    static constexpr double kChartMinBarHeight = 3;

    struct ChartDay {
        QDate day;
        QString label; // "·" for today, else the first two letters of the weekday
        double dose = 0;
        double barHeight = 0;
        HistoryColour colour = HistoryColour::green;
    };

    // The chart's title line: a hovered day with its dose and session count, or the
    // name of what the chart shows.
    struct ChartHeader {
        QString dayText;  // "Fri 14 Mar", or "Selected range" / "Last 7 days"
        QString doseText; // "12.5%" or "No data"; empty without a hovered day
        std::optional<HistoryColour> doseColour;
        QString sessionText; // "2 sessions"; empty without sessions
        QString text() const;
    };

    // The completed sessions of one day, oldest first, with the day's running dose.
    struct DayGroup {
        QDate day;
        QString key; // the day in the medium date style, "Mar 14, 2025"
        QList<models::Session> sessions;
        QList<double> cumulativeDose; // per session: the day's dose up to and including it
        double totalDose = 0;
    };

    struct CalendarCell {
        QDate date;
        double dose = 0;
        bool isInRange = false;
        bool isRangeStart = false;
        bool isRangeEnd = false;
        bool isMultiDayRange = false;
        bool isToday = false;
        bool isFuture = false;
        bool isAnchor = false;
        HistoryColour colour = HistoryColour::clear;
    };

    HistoryRangeStatistics(const QList<models::Session>& history, double liveDosePercentage,
                           const platform::Clock& clock, QDate rangeStart, QDate rangeEnd,
                           const QLocale& locale = QLocale());

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

    const QList<ChartDay>& chartDays() const { return m_chartDays; }
    ChartHeader chartHeader(std::optional<QDate> hoveredDay) const;

    CalendarCell calendarCell(QDate day, std::optional<QDate> selectionAnchor) const;

    // The colour rules of the window's values.
    static HistoryColour doseColour(double percent);
    static HistoryColour euWeeklyColour(std::optional<double> level);
    static HistoryColour peakDBCColour(std::optional<double> peak);
    static HistoryColour impulseColour(std::int64_t total);
    static HistoryColour chartHeaderDoseColour(double percent);

private:
    struct DayTotals {
        double dose = 0;
        int sessionCount = 0;
    };

    void computeTotals();
    void computeGroups();
    void computeChart();

    const platform::Clock& m_clock;
    QLocale m_locale;
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
    QList<ChartDay> m_chartDays;
};

} // namespace kavro::services
