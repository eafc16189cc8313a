// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/presentation/HistoryColour.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

namespace kavro::services {
class HistoryRangeStatistics;
}

namespace kavro::ui {

// The bar chart of daily doses in the history window: which days it shows, their
// labels, bar heights and colours, and its title line.
class HistoryChart {
public:
    // Ranges of at least this many days chart only their last 7 days.
    static constexpr int kLongRangeDays = 15;
    static constexpr int kLongRangeChartDays = 7;
    // Bar heights in points: the highest dose shown fills the chart, and even a day
    // without dose keeps a sliver so the day stays visible.
    static constexpr double kMaxBarHeight = 100;
    static constexpr double kMinBarHeight = 3;

    struct Day {
        QDate day;
        QString label; // "·" for today, else the first two letters of the weekday
        double dose = 0;
        int sessionCount = 0;
        double barHeight = 0;
        HistoryColour colour = HistoryColour::green;
    };

    // The title line: a hovered day with its dose and session count, or the name of
    // what the chart shows.
    struct Header {
        QString dayText;  // "Fri 14 Mar", or "Selected range" / "Last 7 days"
        QString doseText; // "12.5%" or "No data"; empty without a hovered day
        std::optional<HistoryColour> doseColour;
        QString sessionText; // "2 sessions"; empty without sessions
        QString text() const;
    };

    explicit HistoryChart(const services::HistoryRangeStatistics& statistics,
                          const QLocale& locale = QLocale());

    const QList<Day>& days() const { return m_days; }
    Header header(std::optional<QDate> hoveredDay) const;

private:
    QLocale m_locale;
    bool m_longRange;
    QList<Day> m_days;
};

} // namespace kavro::ui
