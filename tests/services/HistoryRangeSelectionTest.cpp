// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/HistoryRangeSelection.h"
#include "platform/testing/ManualClock.h"
#include "support/HistoryDays.h"

#include <gtest/gtest.h>

namespace kavro::services {
namespace {

using platform::testing::ManualClock;
using testing::berlin;
using testing::kBerlin;
using testing::kToday;

class HistoryRangeSelectionTest : public ::testing::Test {
protected:
    HistoryRangeSelectionTest() : clock(berlin(kToday, 15), kBerlin), selection(clock) {}

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

TEST_F(HistoryRangeSelectionTest, DragSelectsAndSwallowsTheClosingTap) {
    selection.handleTap(QDate(2025, 3, 5)); // an anchor the drag replaces
    selection.dragChanged(kToday, kToday);
    EXPECT_TRUE(selection.isDraggingCalendar());
    EXPECT_EQ(selection.calDragStart(), kToday);
    selection.dragChanged(kToday, QDate(2025, 3, 4));
    EXPECT_EQ(selection.rangeStart(), QDate(2025, 3, 4));
    EXPECT_EQ(selection.rangeEnd(), kToday);
    EXPECT_FALSE(selection.selectionAnchor());

    // Future days and blank cells under the pointer leave the range as it was.
    selection.dragChanged(kToday, QDate(2025, 3, 17));
    selection.dragChanged(kToday, std::nullopt);
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

TEST_F(HistoryRangeSelectionTest, DragFromABlankCellOrTheFutureSelectsNothing) {
    for (const std::optional<QDate> start : {std::optional<QDate>(), std::optional(kToday.addDays(2))}) {
        selection.dragChanged(start, QDate(2025, 3, 4));
        EXPECT_FALSE(selection.isDraggingCalendar());
        EXPECT_EQ(selection.rangeStart(), QDate(2025, 3, 8));
        selection.dragEnded();
    }
    selection.handleTap(QDate(2025, 3, 4));
    EXPECT_EQ(selection.selectionAnchor(), QDate(2025, 3, 4));
}

} // namespace
} // namespace kavro::services
