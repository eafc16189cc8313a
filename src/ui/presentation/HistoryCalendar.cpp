// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryCalendar.h"

#include "services/HistoryRangeSelection.h"
#include "services/HistoryRangeStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace kavro::ui {

namespace {

// The cell under a position along one axis of the grid; positions beyond the grid
// count for its first or last cell.
std::size_t cellIndex(double position, double cellSize, std::size_t count) {
    const double index = std::floor(position / cellSize);
    if (!(index > 0)) {
        return 0;
    }
    return index < static_cast<double>(count) ? static_cast<std::size_t>(index) : count - 1;
}

} // namespace

QList<CalendarWeek> HistoryCalendar::weeks(QDate month) {
    const QDate first(month.year(), month.month(), 1);
    // Qt numbers weekdays from Monday = 1, so the blanks before the first are that - 1.
    const auto leadingBlanks = static_cast<std::size_t>(first.dayOfWeek() - 1);
    const auto days = static_cast<std::size_t>(first.daysInMonth());
    QList<CalendarWeek> weeks(static_cast<qsizetype>((leadingBlanks + days + 6) / 7));
    for (std::size_t day = 0; day < days; ++day) {
        const std::size_t cell = leadingBlanks + day;
        weeks[static_cast<qsizetype>(cell / 7)][cell % 7] = first.addDays(static_cast<qint64>(day));
    }
    return weeks;
}

HistoryCalendar::HistoryCalendar(services::HistoryRangeSelection& selection) : m_selection(selection) {}

QList<CalendarWeek> HistoryCalendar::displayedWeeks() const {
    return weeks(m_selection.displayedMonth());
}

HistoryCalendar::Cell HistoryCalendar::cell(QDate day,
                                            const services::HistoryRangeStatistics& statistics) const {
    Cell cell;
    cell.date = day;
    cell.dose = statistics.dose(day);
    cell.isInRange = statistics.isInRange(day);
    cell.isRangeStart = day == statistics.rangeStart();
    cell.isRangeEnd = day == statistics.rangeEnd();
    cell.isMultiDayRange = statistics.rangeStart() != statistics.rangeEnd();
    cell.isToday = day == statistics.today();
    cell.isFuture = day > statistics.today();
    const std::optional<QDate> anchor = m_selection.selectionAnchor();
    cell.isAnchor = anchor && *anchor == day;
    cell.colour = calendarDayColour(cell.dose, cell.isFuture);
    return cell;
}

std::optional<QDate> HistoryCalendar::dayAt(QPointF location) const {
    const QList<CalendarWeek> grid = displayedWeeks();
    const double cellWidth = std::max((m_gridWidth - 2 * kGridSidePadding) / 7.0, 1.0);
    const std::size_t column = cellIndex(location.x() - kGridSidePadding, cellWidth, 7);
    const std::size_t row = cellIndex(location.y(), kCellHeight, static_cast<std::size_t>(grid.size()));
    return grid[static_cast<qsizetype>(row)][column];
}

void HistoryCalendar::dragChanged(QPointF startLocation, QPointF location) {
    m_selection.dragChanged(dayAt(startLocation), dayAt(location));
}

} // namespace kavro::ui
