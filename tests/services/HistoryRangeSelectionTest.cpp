#include "services/HistoryRangeSelection.h"
#include "platform/testing/ManualClock.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace kavro::services {
namespace {

using platform::testing::ManualClock;

const QDate kToday(2025, 3, 14);

int leadingBlanks(const CalendarWeek& week) {
    int blanks = 0;
    while (blanks < 7 && !week[blanks]) {
        ++blanks;
    }
    return blanks;
}

TEST(CalendarWeeksTest, WeeksStartOnMonday) {
    const auto june = calendarWeeks(QDate(2025, 6, 17)); // 1 June 2025 is a Sunday
    ASSERT_EQ(june.size(), 6);
    EXPECT_EQ(leadingBlanks(june[0]), 6);
    EXPECT_EQ(june[0][6], QDate(2025, 6, 1));
    EXPECT_EQ(june[5][0], QDate(2025, 6, 30));
    EXPECT_FALSE(june[5][1]);

    const auto september = calendarWeeks(QDate(2025, 9, 1)); // a Monday
    EXPECT_EQ(leadingBlanks(september[0]), 0);
    EXPECT_EQ(calendarWeeks(QDate(2021, 2, 1)).size(), 4); // 28 days from a Monday: no blanks at all
}

class HistoryRangeSelectionTest : public ::testing::Test {
protected:
    HistoryRangeSelectionTest()
        : clock(QDateTime(kToday, QTime(15, 0), QTimeZone("Europe/Berlin")), QTimeZone("Europe/Berlin")),
          selection(clock) {}

    // The centre of the grid cell in `row`, `column` with the initial grid width.
    static QPointF cell(int row, int column) {
        const double width = (HistoryRangeSelection::kInitialGridWidth - 12) / 7;
        return {6 + width * (column + 0.5), 39 * (row + 0.5)};
    }

    ManualClock clock;
    HistoryRangeSelection selection;
};

TEST_F(HistoryRangeSelectionTest, StartsWithTheLastSevenDays) {
    EXPECT_EQ(selection.rangeStart(), QDate(2025, 3, 8));
    EXPECT_EQ(selection.rangeEnd(), kToday);
    EXPECT_EQ(selection.displayedMonth(), QDate(2025, 3, 1));
    EXPECT_FALSE(selection.selectionAnchor());
    EXPECT_FALSE(selection.canShowNextMonth());
}

TEST_F(HistoryRangeSelectionTest, TwoTapsSpanARangeInEitherOrder) {
    selection.handleTap(QDate(2025, 3, 10));
    EXPECT_EQ(selection.selectionAnchor(), QDate(2025, 3, 10));
    EXPECT_EQ(selection.rangeStart(), QDate(2025, 3, 10));
    EXPECT_EQ(selection.rangeEnd(), QDate(2025, 3, 10));

    selection.handleTap(QDate(2025, 3, 3));
    EXPECT_FALSE(selection.selectionAnchor());
    EXPECT_EQ(selection.rangeStart(), QDate(2025, 3, 3));
    EXPECT_EQ(selection.rangeEnd(), QDate(2025, 3, 10));

    selection.handleTap(kToday.addDays(1));
    EXPECT_FALSE(selection.selectionAnchor());
    EXPECT_EQ(selection.rangeEnd(), QDate(2025, 3, 10));

    selection.handleTap(kToday);
    selection.handleTap(kToday);
    EXPECT_EQ(selection.rangeStart(), kToday);
    EXPECT_EQ(selection.rangeEnd(), kToday);
}

TEST_F(HistoryRangeSelectionTest, TapInAnotherMonthShowsThatMonth) {
    selection.handleTap(QDate(2025, 2, 20));
    EXPECT_EQ(selection.displayedMonth(), QDate(2025, 2, 1));
    EXPECT_TRUE(selection.canShowNextMonth());
    selection.showNextMonth();
    selection.showNextMonth();
    EXPECT_EQ(selection.displayedMonth(), QDate(2025, 3, 1));
    selection.showPreviousMonth();
    selection.showPreviousMonth();
    EXPECT_EQ(selection.displayedMonth(), QDate(2025, 1, 1));
}

TEST_F(HistoryRangeSelectionTest, PresetsAndThisMonthEndToday) {
    selection.handleTap(QDate(2025, 1, 5));
    selection.applyPreset(-29);
    EXPECT_EQ(selection.rangeStart(), QDate(2025, 2, 13));
    EXPECT_EQ(selection.rangeEnd(), kToday);
    EXPECT_FALSE(selection.selectionAnchor());
    EXPECT_EQ(selection.displayedMonth(), QDate(2025, 3, 1));

    selection.handleTap(QDate(2025, 1, 5));
    selection.applyThisMonth();
    EXPECT_EQ(selection.rangeStart(), QDate(2025, 3, 1));
    EXPECT_EQ(selection.rangeEnd(), kToday);
    EXPECT_FALSE(selection.selectionAnchor());
    EXPECT_EQ(selection.displayedMonth(), QDate(2025, 3, 1));
}

TEST_F(HistoryRangeSelectionTest, PointsMapToCellsAndClampAtTheEdges) {
    // March 2025 starts on a Saturday: the first row has five blanks.
    EXPECT_EQ(selection.dayAt(cell(0, 5)), QDate(2025, 3, 1));
    EXPECT_FALSE(selection.dayAt(cell(0, 0)));
    EXPECT_EQ(selection.dayAt(cell(2, 4)), kToday);
    EXPECT_EQ(selection.dayAt({-50, 39 * 2.5}), QDate(2025, 3, 10));  // left of the grid: first column
    EXPECT_EQ(selection.dayAt({1000, 39 * 2.5}), QDate(2025, 3, 16)); // right of it: last column
    EXPECT_EQ(selection.dayAt({6.5, 5000}), QDate(2025, 3, 31));      // below it: last row
    selection.setCalendarGridWidth(12); // narrower than its padding: cells one point wide
    EXPECT_EQ(selection.dayAt({8.5, 39 * 2.5}), QDate(2025, 3, 12));
}

TEST_F(HistoryRangeSelectionTest, DragSelectsAndSwallowsTheClosingTap) {
    selection.handleTap(QDate(2025, 3, 5)); // an anchor the drag replaces
    selection.dragChanged(cell(2, 4), cell(2, 4));
    EXPECT_TRUE(selection.isDraggingCalendar());
    EXPECT_EQ(selection.calDragStart(), kToday);
    selection.dragChanged(cell(2, 4), cell(1, 1));
    EXPECT_EQ(selection.rangeStart(), QDate(2025, 3, 4));
    EXPECT_EQ(selection.rangeEnd(), kToday);
    EXPECT_FALSE(selection.selectionAnchor());

    selection.dragChanged(cell(2, 4), cell(3, 0)); // the 17th lies in the future
    EXPECT_EQ(selection.rangeStart(), QDate(2025, 3, 4));
    EXPECT_EQ(selection.rangeEnd(), kToday);

    selection.dragEnded();
    clock.advance(0.02);
    selection.handleTap(QDate(2025, 3, 4));
    EXPECT_FALSE(selection.selectionAnchor());
    EXPECT_TRUE(selection.isDraggingCalendar());

    clock.advance(0.03);
    EXPECT_FALSE(selection.isDraggingCalendar());
    EXPECT_FALSE(selection.calDragStart());
    selection.handleTap(QDate(2025, 3, 4));
    EXPECT_EQ(selection.selectionAnchor(), QDate(2025, 3, 4));
}

TEST_F(HistoryRangeSelectionTest, DragFromABlankCellSelectsNothing) {
    selection.dragChanged(cell(0, 0), cell(1, 3));
    EXPECT_FALSE(selection.isDraggingCalendar());
    EXPECT_EQ(selection.rangeStart(), QDate(2025, 3, 8));
    selection.dragEnded();
    selection.handleTap(QDate(2025, 3, 4));
    EXPECT_EQ(selection.selectionAnchor(), QDate(2025, 3, 4));
}

} // namespace
} // namespace kavro::services
