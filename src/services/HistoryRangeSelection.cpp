#include "services/HistoryRangeSelection.h"

#include <algorithm>
#include <cmath>

namespace kavro::services {

QList<CalendarWeek> calendarWeeks(QDate month) {
    const QDate first(month.year(), month.month(), 1);
    // Qt numbers weekdays from Monday = 1, so the blanks before the first are that - 1.
    const int leadingBlanks = first.dayOfWeek() - 1;
    const int cellCount = leadingBlanks + first.daysInMonth();
    const int rows = (cellCount + 6) / 7;
    QList<CalendarWeek> weeks(rows);
    for (int day = 0; day < first.daysInMonth(); ++day) {
        const int cell = leadingBlanks + day;
        weeks[cell / 7][cell % 7] = first.addDays(day);
    }
    return weeks;
}

HistoryRangeSelection::HistoryRangeSelection(const platform::Clock& clock) : m_clock(clock) {
    const QDate today = m_clock.today();
    m_rangeStart = today.addDays(-6);
    m_rangeEnd = today;
    m_displayedMonth = firstOfCurrentMonth();
}

QDate HistoryRangeSelection::firstOfCurrentMonth() const {
    const QDate today = m_clock.today();
    return QDate(today.year(), today.month(), 1);
}

void HistoryRangeSelection::setRange(QDate a, QDate b) {
    m_rangeStart = std::min(a, b);
    m_rangeEnd = std::max(a, b);
}

void HistoryRangeSelection::handleTap(QDate day) {
    if (isDraggingCalendar() || !day.isValid() || day > m_clock.today()) {
        return;
    }
    if (m_selectionAnchor) {
        setRange(day, *m_selectionAnchor);
        m_selectionAnchor.reset();
    } else {
        m_selectionAnchor = day;
        setRange(day, day);
    }
    const QDate month(day.year(), day.month(), 1);
    if (month != m_displayedMonth) {
        m_displayedMonth = month;
    }
}

void HistoryRangeSelection::applyPreset(int daysBack) {
    const QDate today = m_clock.today();
    setRange(today.addDays(daysBack), today);
    m_selectionAnchor.reset();
    m_displayedMonth = firstOfCurrentMonth();
}

void HistoryRangeSelection::applyThisMonth() {
    setRange(firstOfCurrentMonth(), m_clock.today());
    m_selectionAnchor.reset();
    m_displayedMonth = firstOfCurrentMonth();
}

void HistoryRangeSelection::showPreviousMonth() {
    m_displayedMonth = m_displayedMonth.addMonths(-1);
}

void HistoryRangeSelection::showNextMonth() {
    if (canShowNextMonth()) {
        m_displayedMonth = m_displayedMonth.addMonths(1);
    }
}

bool HistoryRangeSelection::canShowNextMonth() const {
    return m_displayedMonth < firstOfCurrentMonth();
}

std::optional<QDate> HistoryRangeSelection::dayAt(QPointF location) const {
    const QList<CalendarWeek> weeks = calendarWeeks(m_displayedMonth);
    const double cellWidth = std::max((m_calendarGridWidth - 2 * kGridSidePadding) / 7.0, 1.0);
    const int column =
        std::clamp(static_cast<int>(std::floor((location.x() - kGridSidePadding) / cellWidth)), 0, 6);
    const int row = std::clamp(static_cast<int>(std::floor(location.y() / kCellHeight)), 0,
                               static_cast<int>(weeks.size()) - 1);
    return weeks[row][column];
}

HistoryRangeSelection::DragState HistoryRangeSelection::dragState() const {
    if (m_dragEndedAt && m_clock.now() >= m_dragEndedAt->addMSecs(kDragSettleMs)) {
        return {};
    }
    return m_drag;
}

void HistoryRangeSelection::dragChanged(QPointF startLocation, QPointF location) {
    if (m_dragEndedAt) {
        // A new drag: whatever the previous one left is over.
        m_drag = {};
        m_dragEndedAt.reset();
    }
    const QDate today = m_clock.today();
    if (!m_drag.dragging) {
        const auto startDay = dayAt(startLocation);
        if (!startDay || *startDay > today) {
            return;
        }
        m_drag = {true, startDay};
    }
    const auto day = dayAt(location);
    if (!day || *day > today) {
        return;
    }
    setRange(*m_drag.start, *day);
    m_selectionAnchor.reset();
}

void HistoryRangeSelection::dragEnded() {
    if (m_drag.dragging) {
        m_dragEndedAt = m_clock.now();
    }
}

} // namespace kavro::services
