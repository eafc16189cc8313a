// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryCalendar.h"
#include "platform/testing/ManualClock.h"
#include "services/HistoryRangeSelection.h"
#include "services/HistoryRangeStatistics.h"
#include "support/HistoryDays.h"

#include <gtest/gtest.h>

namespace kavro::ui {
namespace {

using platform::testing::ManualClock;
using services::HistoryRangeSelection;
using services::HistoryRangeStatistics;
using testing::berlin;
using testing::completedSession;
using testing::kBerlin;
using testing::kToday;

std::size_t leadingBlanks(const CalendarWeek& week) {
    std::size_t blanks = 0;
    while (blanks < 7 && !week[blanks]) {
        ++blanks;
    }
    return blanks;
}

TEST(CalendarWeeksTest, WeeksStartOnMonday) {
    const auto june = HistoryCalendar::weeks(QDate(2025, 6, 17)); // 1 June 2025 is a Sunday
    ASSERT_EQ(june.size(), 6);
    EXPECT_EQ(leadingBlanks(june[0]), 6u);
    EXPECT_EQ(june[0][6], QDate(2025, 6, 1));
    EXPECT_EQ(june[5][0], QDate(2025, 6, 30));
    EXPECT_FALSE(june[5][1]);

    const auto september = HistoryCalendar::weeks(QDate(2025, 9, 1)); // a Monday
    EXPECT_EQ(leadingBlanks(september[0]), 0u);
    EXPECT_EQ(HistoryCalendar::weeks(QDate(2021, 2, 1)).size(), 4); // 28 days from a Monday: no blanks
}

class HistoryCalendarTest : public ::testing::Test {
protected:
    HistoryCalendarTest() : clock(berlin(kToday, 15), kBerlin), selection(clock), calendar(selection) {}

    // The centre of the grid cell in `row`, `column` with the initial grid width.
    static QPointF cell(int row, int column) {
        const double width = (HistoryCalendar::kInitialGridWidth - 12) / 7;
        return {6 + width * (column + 0.5), 39 * (row + 0.5)};
    }

    ManualClock clock;
    HistoryRangeSelection selection;
    HistoryCalendar calendar;
};

TEST_F(HistoryCalendarTest, CellsKnowTheirPlace) {
    selection.handleTap(kToday.addDays(-3));
    const HistoryRangeStatistics stats({completedSession(berlin(kToday.addDays(-3), 10), 75)}, 0, clock,
                                       kToday.addDays(-3), kToday);
    const auto start = calendar.cell(kToday.addDays(-3), stats);
    EXPECT_TRUE(start.isInRange && start.isRangeStart && start.isMultiDayRange && start.isAnchor);
    EXPECT_FALSE(start.isRangeEnd);
    EXPECT_EQ(start.dose, 75);
    EXPECT_EQ(start.colour, HistoryColour::orange);
    const auto empty = calendar.cell(kToday.addDays(-1), stats);
    EXPECT_EQ(empty.colour, HistoryColour::clear);
    EXPECT_FALSE(empty.isAnchor);
    const auto future = calendar.cell(kToday.addDays(1), stats);
    EXPECT_TRUE(future.isFuture);
    EXPECT_FALSE(future.isInRange);
    EXPECT_EQ(future.colour, HistoryColour::clear);
    const auto today = calendar.cell(kToday, stats);
    EXPECT_TRUE(today.isToday && today.isRangeEnd);
}

TEST_F(HistoryCalendarTest, PointsMapToCellsAndClampAtTheEdges) {
    // March 2025 starts on a Saturday: the first row has five blanks.
    EXPECT_EQ(calendar.dayAt(cell(0, 5)), QDate(2025, 3, 1));
    EXPECT_FALSE(calendar.dayAt(cell(0, 0)));
    EXPECT_EQ(calendar.dayAt(cell(2, 4)), kToday);
    EXPECT_EQ(calendar.dayAt({-50, 39 * 2.5}), QDate(2025, 3, 10));  // left of the grid: first column
    EXPECT_EQ(calendar.dayAt({1000, 39 * 2.5}), QDate(2025, 3, 16)); // right of it: last column
    EXPECT_EQ(calendar.dayAt({6.5, 5000}), QDate(2025, 3, 31));      // below it: last row
    calendar.setGridWidth(12); // narrower than its padding: cells one point wide
    EXPECT_EQ(calendar.dayAt({8.5, 39 * 2.5}), QDate(2025, 3, 12));

    selection.showPreviousMonth(); // February 2025 starts on a Saturday too, and has 28 days
    calendar.setGridWidth(HistoryCalendar::kInitialGridWidth);
    EXPECT_EQ(calendar.dayAt(cell(4, 4)), QDate(2025, 2, 28));
    EXPECT_FALSE(calendar.dayAt(cell(4, 5)));
}

} // namespace
} // namespace kavro::ui
