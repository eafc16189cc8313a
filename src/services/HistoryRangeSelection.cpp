// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/HistoryRangeSelection.h"

#include <algorithm>

namespace kavro::services {

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

HistoryRangeSelection::DragState HistoryRangeSelection::dragState() const {
    if (m_dragEndedAt && m_clock.now() >= m_dragEndedAt->addMSecs(kDragSettleMs)) {
        return {};
    }
    return m_drag;
}

void HistoryRangeSelection::dragChanged(std::optional<QDate> startDay, std::optional<QDate> day) {
    if (m_dragEndedAt) {
        // A new drag: whatever the previous one left is over.
        m_drag = {};
        m_dragEndedAt.reset();
    }
    const QDate today = m_clock.today();
    if (!m_drag.dragging) {
        if (!startDay || *startDay > today) {
            return;
        }
        m_drag = {true, startDay};
    }
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
