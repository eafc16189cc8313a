// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/presentation/HistoryColour.h"

#include <QDate>
#include <QList>
#include <QPointF>

#include <array>
#include <optional>

namespace kavro::services {
class HistoryRangeSelection;
class HistoryRangeStatistics;
} // namespace kavro::services

namespace kavro::ui {

// One row of the month calendar, Monday first; a blank cell has no date.
using CalendarWeek = std::array<std::optional<QDate>, 7>;

// The month calendar of the history window: its grid of days, what each day cell
// shows, and the translation of taps and drags on the grid into days for the range
// selection.
class HistoryCalendar {
public:
    static constexpr double kInitialGridWidth = 286;
    static constexpr double kGridSidePadding = 6;
    static constexpr double kCellHeight = 39;

    struct Cell {
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

    // The weeks of the month that contains `month`, always starting on Monday whatever
    // the locale, with blank cells before the first and after the last day.
    static QList<CalendarWeek> weeks(QDate month);

    explicit HistoryCalendar(services::HistoryRangeSelection& selection);

    // The weeks of the month the selection shows.
    QList<CalendarWeek> displayedWeeks() const;
    // A day of the displayed month, with the statistics of the selected range.
    Cell cell(QDate day, const services::HistoryRangeStatistics& statistics) const;

    // The measured width of the grid in points.
    double gridWidth() const { return m_gridWidth; }
    void setGridWidth(double width) { m_gridWidth = width; }
    // The day under a point of the grid (points from its top left); no value over a
    // blank cell. Points outside the grid count for the nearest row or column.
    std::optional<QDate> dayAt(QPointF location) const;
    // A drag across the grid from `startLocation`, now at `location`.
    void dragChanged(QPointF startLocation, QPointF location);

private:
    services::HistoryRangeSelection& m_selection;
    double m_gridWidth = kInitialGridWidth;
};

} // namespace kavro::ui
