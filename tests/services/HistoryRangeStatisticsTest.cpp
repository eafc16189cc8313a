// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/HistoryRangeStatistics.h"
#include "platform/testing/ManualClock.h"
#include "support/HistoryDays.h"

#include <gtest/gtest.h>

namespace kavro::services {
namespace {

using models::Session;
using platform::testing::ManualClock;
using testing::berlin;
using testing::completedSession;
using testing::kBerlin;
using testing::kToday;

class HistoryRangeStatisticsTest : public ::testing::Test {
protected:
    HistoryRangeStatisticsTest() : clock(berlin(kToday, 15), kBerlin) {}

    HistoryRangeStatistics statistics(QDate start, QDate end = kToday) const {
        return HistoryRangeStatistics(history, liveDose, clock, start, end);
    }

    ManualClock clock;
    QList<Session> history; // newest first, as the session manager keeps it
    double liveDose = 0;
};

TEST_F(HistoryRangeStatisticsTest, EmptyHistoryShowsZerosAndNoValues) {
    const auto stats = statistics(kToday.addDays(-6));
    EXPECT_EQ(stats.rangeDays(), 7);
    EXPECT_EQ(stats.totalDose(), 0);
    EXPECT_EQ(stats.averageDosePerDay(), 0);
    EXPECT_FALSE(stats.euWeeklyLevel());
    EXPECT_FALSE(stats.rangePeakSPL());
    EXPECT_FALSE(stats.rangePeakDBC());
    EXPECT_EQ(stats.impulseTotal(), 0);
    EXPECT_TRUE(stats.groupedRangeSessions().isEmpty());
}

TEST_F(HistoryRangeStatisticsTest, TodayIsTheLiveDoseOtherDaysTheirCompletedSessions) {
    history = {completedSession(berlin(kToday, 9), 10),
               completedSession(berlin(kToday.addDays(-1), 23, 50), 30, 40),
               completedSession(berlin(kToday.addDays(-1), 8), 5)};
    Session running = Session::create("Logic Pro", berlin(kToday.addDays(-2), 10));
    running.doseAccumulated = 99;
    history.append(running);
    liveDose = 42;

    const auto stats = statistics(kToday.addDays(-2));
    EXPECT_EQ(stats.dose(kToday), 42);             // not 10, not 52
    EXPECT_EQ(stats.dose(kToday.addDays(-1)), 35); // the late session counts for the day it started
    EXPECT_EQ(stats.dose(kToday.addDays(-2)), 0);  // a session without an end counts nowhere
    EXPECT_EQ(stats.sessionCount(kToday.addDays(-1)), 2);
    EXPECT_EQ(stats.sessionCount(kToday.addDays(-2)), 0);
    EXPECT_EQ(stats.totalDose(), 77);
    EXPECT_EQ(stats.rangeSessions().size(), 3);

    const auto todayOnly = statistics(kToday);
    EXPECT_EQ(todayOnly.rangeSessions().size(), 1);
    EXPECT_EQ(todayOnly.totalDose(), 42);
}

TEST_F(HistoryRangeStatisticsTest, DaysFollowTheClockTimeZone) {
    // 23:30 UTC on the 12th is already the 13th in Berlin.
    history = {completedSession(QDateTime(kToday.addDays(-2), QTime(23, 30), QTimeZone::utc()), 20)};
    EXPECT_EQ(statistics(kToday.addDays(-6)).dose(kToday.addDays(-1)), 20);
    clock.setTimeZone(QTimeZone::utc());
    EXPECT_EQ(statistics(kToday.addDays(-6)).dose(kToday.addDays(-2)), 20);
}

struct WeeklyCase {
    int days;
    QList<double> doses; // oldest day first; missing days have no dose
    std::optional<double> level;
};

void PrintTo(const WeeklyCase& c, std::ostream* os) {
    *os << c.days << " days, " << c.doses.size() << " with dose";
}

class EuWeeklyLevelTest : public HistoryRangeStatisticsTest,
                          public ::testing::WithParamInterface<WeeklyCase> {};

TEST_P(EuWeeklyLevelTest, MatchesReferenceValues) {
    const WeeklyCase& c = GetParam();
    const QDate end = kToday.addDays(-1); // past days only: no live dose involved
    const QDate start = end.addDays(-(c.days - 1));
    for (int i = 0; i < c.doses.size(); ++i) {
        history.prepend(completedSession(berlin(start.addDays(i), 10), c.doses[i]));
    }
    const auto level = statistics(start, end).euWeeklyLevel();
    ASSERT_EQ(level.has_value(), c.level.has_value());
    if (level) {
        EXPECT_NEAR(*level, *c.level, 0.02);
    }
}

INSTANTIATE_TEST_SUITE_P(
    References, EuWeeklyLevelTest,
    ::testing::Values(WeeklyCase{4, {100, 100, 100, 100}, std::nullopt}, WeeklyCase{7, {}, std::nullopt},
                      WeeklyCase{5, {100}, 78.0}, WeeklyCase{5, {100, 100, 100, 100, 100}, 85.0},
                      WeeklyCase{5, {200, 200, 200, 200, 200}, 88.0},
                      WeeklyCase{10, {100, 100, 100, 100, 100, 100, 100, 100, 100, 100}, 88.0},
                      WeeklyCase{5, {50, 50, 50, 50, 50}, 82.0}));

TEST_F(HistoryRangeStatisticsTest, PeaksAndImpulsesComeFromRangeSessionsOnly) {
    Session inRange = completedSession(berlin(kToday.addDays(-1), 10), 5);
    inRange.peakSPL = 98.4;
    inRange.peakDBC = 136.2;
    inRange.peakCount135 = 4;
    Session other = completedSession(berlin(kToday.addDays(-2), 10), 5);
    other.peakDBC = 120;
    other.peakCount135 = 1;
    Session outside = completedSession(berlin(kToday.addDays(-9), 10), 5);
    outside.peakSPL = 110;
    outside.peakDBC = 141;
    outside.peakCount135 = 100;
    history = {inRange, other, outside};

    const auto stats = statistics(kToday.addDays(-6));
    EXPECT_EQ(stats.rangePeakSPL(), 98.4);
    EXPECT_EQ(stats.rangePeakDBC(), 136.2);
    EXPECT_EQ(stats.impulseTotal(), 5);
}

TEST_F(HistoryRangeStatisticsTest, GroupsNewestDayFirstWithRunningDayDose) {
    const QDate yesterday = kToday.addDays(-1);
    const Session a = completedSession(berlin(yesterday, 9), 10);
    const Session b = completedSession(berlin(yesterday, 13), 5);
    const Session c = completedSession(berlin(yesterday, 18), 20);
    const Session d = completedSession(berlin(kToday, 8), 50);
    history = {d, c, b, a};

    const auto stats = statistics(kToday.addDays(-6));
    const auto& groups = stats.groupedRangeSessions();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].day, kToday);
    EXPECT_EQ(groups[1].day, yesterday);
    ASSERT_EQ(groups[1].sessions.size(), 3);
    EXPECT_EQ(groups[1].sessions[0].id, a.id);
    EXPECT_EQ(groups[1].sessions[2].id, c.id);
    EXPECT_EQ(groups[1].cumulativeDose, (QList<double>{10, 15, 35}));
    EXPECT_EQ(groups[1].totalDose, 35);
    EXPECT_EQ(stats.cumulativeDayDose().value(b.id), 15);
    EXPECT_EQ(stats.cumulativeDayDose().value(d.id), 50);
}

TEST_F(HistoryRangeStatisticsTest, CumulativeBarNeverOverflows) {
    liveDose = 231;
    EXPECT_NEAR(statistics(kToday.addDays(-6)).cumulativeFraction(), 231.0 / 700.0, 1e-12);
    liveDose = 900;
    EXPECT_EQ(statistics(kToday.addDays(-6)).cumulativeFraction(), 1.0);
}

} // namespace
} // namespace kavro::services
