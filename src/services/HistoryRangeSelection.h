#pragma once

#include "platform/Clock.h"

#include <QDate>
#include <QList>
#include <QPointF>

#include <array>
#include <optional>

namespace kavro::services {

// One row of the month calendar, Monday first; a blank cell has no date.
using CalendarWeek = std::array<std::optional<QDate>, 7>;

// The weeks of the month that contains `month`, always starting on Monday whatever
// the locale, with blank cells before the first and after the last day.
QList<CalendarWeek> calendarWeeks(QDate month);

// The range of whole days the history window shows, and the rules by which taps,
// presets, month navigation and drags across the calendar change it. Every "today"
// comes from the clock. The range never extends past today and its start never lies
// after its end.
class HistoryRangeSelection {
public:
    static constexpr double kInitialGridWidth = 286;
    static constexpr double kGridSidePadding = 6;
    static constexpr double kCellHeight = 39;
    // A tap that arrives this soon after a drag ended belongs to the drag.
    static constexpr int kDragSettleMs = 50;

    // The last 7 days, the current month.
    explicit HistoryRangeSelection(const platform::Clock& clock);

    QDate rangeStart() const { return m_rangeStart; }
    QDate rangeEnd() const { return m_rangeEnd; }
    std::optional<QDate> selectionAnchor() const { return m_selectionAnchor; }
    QDate displayedMonth() const { return m_displayedMonth; }
    std::optional<QDate> hoveredChartDay() const { return m_hoveredChartDay; }
    bool isDraggingCalendar() const { return dragState().dragging; }
    std::optional<QDate> calDragStart() const { return dragState().start; }
    double calendarGridWidth() const { return m_calendarGridWidth; }
    void setCalendarGridWidth(double width) { m_calendarGridWidth = width; }

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

    // The day under a point of the calendar grid (points from its top left), or no
    // value over a blank cell.
    std::optional<QDate> dayAt(QPointF location) const;
    // A drag across the grid from `startLocation`, now at `location`.
    void dragChanged(QPointF startLocation, QPointF location);
    // The drag state stays for a moment so that the tap ending the drag is ignored.
    void dragEnded();

    void setHoveredChartDay(std::optional<QDate> day) { m_hoveredChartDay = day; }
    void clickChartDay(QDate day) { handleTap(day); }

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
    std::optional<QDate> m_hoveredChartDay;
    DragState m_drag;
    std::optional<QDateTime> m_dragEndedAt;
    double m_calendarGridWidth = kInitialGridWidth;
};

} // namespace kavro::services
