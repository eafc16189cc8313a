// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <QDate>
#include <QDateTime>

#include <optional>

namespace kavro::services {

// The range of whole days the history window shows, and the rules by which taps,
// presets, month navigation and drags across the calendar change it. Every "today"
// comes from the clock. The range never extends past today and its start never lies
// after its end.
class HistoryRangeSelection {
public:
    // A tap that arrives this soon after a drag ended belongs to the drag.
    static constexpr int kDragSettleMs = 50;

    // The last 7 days, the current month.
    explicit HistoryRangeSelection(const platform::Clock& clock);

    QDate rangeStart() const { return m_rangeStart; }
    QDate rangeEnd() const { return m_rangeEnd; }
    std::optional<QDate> selectionAnchor() const { return m_selectionAnchor; }
    // The first day of the month the calendar shows.
    QDate displayedMonth() const { return m_displayedMonth; }
    bool isDraggingCalendar() const { return dragState().dragging; }
    std::optional<QDate> calDragStart() const { return dragState().start; }

    // A first tap sets a one-day range and the anchor; a second tap spans from the anchor.
    void handleTap(QDate day);
    // The `-daysBack` days before today up to today (-6, -13, -29 for 7, 14, 30 days).
    void applyPreset(int daysBack);
    // From the first of the current month to today.
    void applyThisMonth();
    void showPreviousMonth();
    // Does nothing on the current month: there is nothing to see in the future.
    void showNextMonth();
    bool canShowNextMonth() const;

    // A drag across the calendar that started on `startDay` and is now over `day`; no
    // value stands for a blank cell. A drag that starts on a blank cell or in the future
    // selects nothing, and blank cells and future days under the pointer are passed over.
    void dragChanged(std::optional<QDate> startDay, std::optional<QDate> day);
    // The drag state stays for a moment so that the tap ending the drag is ignored.
    void dragEnded();

private:
    struct DragState {
        bool dragging = false;
        std::optional<QDate> start;
    };
    DragState dragState() const;
    QDate firstOfCurrentMonth() const;
    void setRange(QDate a, QDate b);

    const platform::Clock& m_clock;
    QDate m_rangeStart;
    QDate m_rangeEnd;
    std::optional<QDate> m_selectionAnchor;
    QDate m_displayedMonth;
    DragState m_drag;
    std::optional<QDateTime> m_dragEndedAt;
};

} // namespace kavro::services
