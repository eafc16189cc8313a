// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/DayBoundary.h"
#include "support/ParamNames.h"

#include <gtest/gtest.h>

namespace kavro::models {
namespace {

using kavro::testing::PrintTo;

const QTimeZone kBerlin("Europe/Berlin");

struct DayCase {
    const char* name;
    QDate date;
    QTime time;
    int dayStartMinutes;
    int expectedDaysBack;
};

class UserDay : public ::testing::TestWithParam<DayCase> {};

// A moment in Berlin belongs to the day that started last.
TEST_P(UserDay, MomentBelongsToTheDayThatStartedLast) {
    const DayCase& entry = GetParam();
    const QDateTime moment(entry.date, entry.time, kBerlin);
    EXPECT_EQ(userDayOf(moment.toUTC(), kBerlin, entry.dayStartMinutes),
              entry.date.addDays(-entry.expectedDaysBack));
}

INSTANTIATE_TEST_SUITE_P(
    Days, UserDay,
    ::testing::Values(DayCase{"MidnightStartLateEvening", {2025, 3, 14}, {23, 30}, 0, 0},
                      DayCase{"MidnightStartJustAfterMidnight", {2025, 3, 15}, {0, 30}, 0, 0},
                      DayCase{"SixAmStartInTheSmallHours", {2025, 3, 15}, {3, 0}, 360, 1},
                      DayCase{"SixAmStartAtSix", {2025, 3, 15}, {6, 0}, 360, 0},
                      DayCase{"SixAmStartLateEvening", {2025, 3, 14}, {23, 0}, 360, 0},
                      DayCase{"SixAmStartAfterClocksWentBack", {2025, 10, 26}, {5, 59}, 360, 1}),
    kavro::testing::PrintedName{});

struct LengthCase {
    const char* name;
    QDate day;
    int dayStartMinutes;
    int hours;
};

class UserDayLength : public ::testing::TestWithParam<LengthCase> {};

// Days start at the same local time every day, so the days the clocks change on are 23
// and 25 hours long, and every moment between two starts belongs to the first.
TEST_P(UserDayLength, DaysFollowTheLocalClock) {
    const LengthCase& entry = GetParam();
    const QDateTime start = userDayStart(entry.day, kBerlin, entry.dayStartMinutes);
    const QDateTime next = userDayStart(entry.day.addDays(1), kBerlin, entry.dayStartMinutes);
    EXPECT_EQ(start.secsTo(next), entry.hours * 3600);
    EXPECT_EQ(userDayOf(start, kBerlin, entry.dayStartMinutes), entry.day);
    EXPECT_EQ(userDayOf(next.addSecs(-1), kBerlin, entry.dayStartMinutes), entry.day);
}

INSTANTIATE_TEST_SUITE_P(Days, UserDayLength,
                         ::testing::Values(LengthCase{"SpringAtMidnight", {2025, 3, 30}, 0, 23},
                                           LengthCase{"SpringAtOne", {2025, 3, 30}, 60, 23},
                                           LengthCase{"AutumnAtMidnight", {2025, 10, 26}, 0, 25},
                                           LengthCase{"AutumnAtSix", {2025, 10, 25}, 360, 25},
                                           LengthCase{"OrdinaryAtSix", {2025, 3, 14}, 360, 24}),
                         kavro::testing::PrintedName{});

// A start that the clocks skip (02:30 on the spring day) still starts the day, an hour on.
TEST(UserDayStart, SkippedStartTimeMovesOnByTheHourSkipped) {
    const QDateTime start = userDayStart({2025, 3, 30}, kBerlin, 150);
    EXPECT_EQ(start, QDateTime(QDate(2025, 3, 30), QTime(3, 30), kBerlin));
}

} // namespace
} // namespace kavro::models
