#include "services/HistoryRangeStatistics.h"
#include "platform/testing/ManualClock.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>

namespace kavro::services {
namespace {

using models::Session;
using platform::testing::ManualClock;
using Colour = HistoryColour;

const QTimeZone kBerlin("Europe/Berlin");
const QDate kToday(2025, 3, 14); // a Friday

QDateTime berlin(QDate day, int hour, int minute = 0) {
    return QDateTime(day, QTime(hour, minute), kBerlin);
}

Session completed(const QDateTime& start, double dose, int minutes = 30) {
    Session session = Session::create(QStringLiteral("Reaper"), start);
    session.endDate = start.addSecs(minutes * 60);
    session.doseAccumulated = dose;
    return session;
}

class HistoryRangeStatisticsTest : public ::testing::Test {
protected:
    HistoryRangeStatisticsTest() : clock(berlin(kToday, 15), kBerlin) {}

    HistoryRangeStatistics statistics(QDate start, QDate end = kToday) const {
        return HistoryRangeStatistics(history, liveDose, clock, start, end, QLocale(QLocale::English));
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
    EXPECT_EQ(HistoryRangeStatistics::doseColour(stats.averageDosePerDay()), Colour::green);
    EXPECT_FALSE(stats.euWeeklyLevel());
    EXPECT_FALSE(stats.rangePeakSPL());
    EXPECT_FALSE(stats.rangePeakDBC());
    EXPECT_EQ(stats.impulseTotal(), 0);
    EXPECT_TRUE(stats.groupedRangeSessions().isEmpty());
    EXPECT_EQ(stats.chartHeader(std::nullopt).text(), "Selected range");
    ASSERT_EQ(stats.chartDays().size(), 7);
    EXPECT_EQ(stats.chartDays().front().label, "Sa");
    EXPECT_EQ(stats.chartDays().back().label, "·");
    EXPECT_EQ(stats.chartDays().back().barHeight, HistoryRangeStatistics::kChartMinBarHeight);
}

TEST_F(HistoryRangeStatisticsTest, TodayIsTheLiveDoseOtherDaysTheirCompletedSessions) {
    history = {completed(berlin(kToday, 9), 10), completed(berlin(kToday.addDays(-1), 23, 50), 30, 40),
               completed(berlin(kToday.addDays(-1), 8), 5)};
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
    history = {completed(QDateTime(kToday.addDays(-2), QTime(23, 30), QTimeZone::utc()), 20)};
    EXPECT_EQ(statistics(kToday.addDays(-6)).dose(kToday.addDays(-1)), 20);
    clock.setTimeZone(QTimeZone::utc());
    EXPECT_EQ(statistics(kToday.addDays(-6)).dose(kToday.addDays(-2)), 20);
}

struct WeeklyCase {
    int days;
    QList<double> doses; // oldest day first; missing days have no dose
    std::optional<double> level;
    Colour colour;
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
        history.prepend(completed(berlin(start.addDays(i), 10), c.doses[i]));
    }
    const auto level = statistics(start, end).euWeeklyLevel();
    ASSERT_EQ(level.has_value(), c.level.has_value());
    if (level) {
        EXPECT_NEAR(*level, *c.level, 0.02);
    }
    EXPECT_EQ(HistoryRangeStatistics::euWeeklyColour(level), c.colour);
}

INSTANTIATE_TEST_SUITE_P(
    References, EuWeeklyLevelTest,
    ::testing::Values(WeeklyCase{4, {100, 100, 100, 100}, std::nullopt, Colour::secondaryHalfOpacity},
                      WeeklyCase{7, {}, std::nullopt, Colour::secondaryHalfOpacity},
                      WeeklyCase{5, {100}, 78.0, Colour::green},
                      WeeklyCase{5, {100, 100, 100, 100, 100}, 85.0, Colour::red},
                      WeeklyCase{5, {200, 200, 200, 200, 200}, 88.0, Colour::red},
                      WeeklyCase{10, {100, 100, 100, 100, 100, 100, 100, 100, 100, 100}, 88.0, Colour::red},
                      WeeklyCase{5, {50, 50, 50, 50, 50}, 82.0, Colour::orange}));

TEST_F(HistoryRangeStatisticsTest, PeaksAndImpulsesComeFromRangeSessionsOnly) {
    Session inRange = completed(berlin(kToday.addDays(-1), 10), 5);
    inRange.peakSPL = 98.4;
    inRange.peakDBC = 136.2;
    inRange.peakCount135 = 4;
    Session other = completed(berlin(kToday.addDays(-2), 10), 5);
    other.peakDBC = 120;
    other.peakCount135 = 1;
    Session outside = completed(berlin(kToday.addDays(-9), 10), 5);
    outside.peakSPL = 110;
    outside.peakDBC = 141;
    outside.peakCount135 = 100;
    history = {inRange, other, outside};

    const auto stats = statistics(kToday.addDays(-6));
    EXPECT_EQ(stats.rangePeakSPL(), 98.4);
    EXPECT_EQ(stats.rangePeakDBC(), 136.2);
    EXPECT_EQ(stats.impulseTotal(), 5);
    EXPECT_EQ(HistoryRangeStatistics::peakDBCColour(stats.rangePeakDBC()), Colour::orange);
    EXPECT_EQ(HistoryRangeStatistics::impulseColour(stats.impulseTotal()), Colour::orange);
}

TEST_F(HistoryRangeStatisticsTest, GroupsNewestDayFirstWithRunningDayDose) {
    const QDate yesterday = kToday.addDays(-1);
    const Session a = completed(berlin(yesterday, 9), 10);
    const Session b = completed(berlin(yesterday, 13), 5);
    const Session c = completed(berlin(yesterday, 18), 20);
    const Session d = completed(berlin(kToday, 8), 50);
    history = {d, c, b, a};

    const auto stats = statistics(kToday.addDays(-6));
    const auto& groups = stats.groupedRangeSessions();
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].key, "Mar 14, 2025");
    EXPECT_EQ(groups[1].key, "Mar 13, 2025");
    ASSERT_EQ(groups[1].sessions.size(), 3);
    EXPECT_EQ(groups[1].sessions[0].id, a.id);
    EXPECT_EQ(groups[1].sessions[2].id, c.id);
    EXPECT_EQ(groups[1].cumulativeDose, (QList<double>{10, 15, 35}));
    EXPECT_EQ(groups[1].totalDose, 35);
    EXPECT_EQ(HistoryRangeStatistics::doseColour(groups[1].totalDose), Colour::green);
    EXPECT_EQ(stats.cumulativeDayDose().value(b.id), 15);
    EXPECT_EQ(stats.cumulativeDayDose().value(d.id), 50);
}

TEST_F(HistoryRangeStatisticsTest, LongRangeChartsItsLastSevenDays) {
    const QDate end = kToday.addDays(-1);
    history = {completed(berlin(end, 10), 200), completed(berlin(end.addDays(-1), 10), 50),
               completed(berlin(end.addDays(-1), 12), 0.04), completed(berlin(end.addDays(-19), 10), 500)};
    const auto stats = statistics(end.addDays(-19), end);
    EXPECT_EQ(stats.rangeDays(), 20);
    const auto& chart = stats.chartDays();
    ASSERT_EQ(chart.size(), 7);
    EXPECT_EQ(chart.front().day, end.addDays(-6));
    EXPECT_EQ(chart.back().day, end);
    EXPECT_EQ(chart.back().label, "Th");
    EXPECT_EQ(chart.back().barHeight, 100);
    EXPECT_NEAR(chart[5].barHeight, 25.02, 1e-9); // 50.04 % of the 200 % day
    EXPECT_EQ(chart[0].barHeight, 3);
    EXPECT_EQ(chart.back().colour, Colour::red);
    EXPECT_EQ(stats.chartHeader(std::nullopt).text(), "Last 7 days");
    EXPECT_EQ(stats.chartHeader(end.addDays(-10)).text(), "Last 7 days"); // not a chart day

    const auto hovered = stats.chartHeader(end.addDays(-1));
    EXPECT_EQ(hovered.text(), "Wed 12 Mar  ·  50.0%  ·  2 sessions");
    EXPECT_EQ(hovered.doseColour, Colour::yellow);
    const auto empty = stats.chartHeader(end.addDays(-3));
    EXPECT_EQ(empty.text(), "Mon 10 Mar  ·  No data");
    EXPECT_EQ(empty.doseColour, Colour::secondary);
}

TEST_F(HistoryRangeStatisticsTest, ShortChartScalesToOneWhenDosesAreSmall) {
    liveDose = 0.5;
    const auto stats = statistics(kToday.addDays(-1));
    ASSERT_EQ(stats.chartDays().size(), 2);
    EXPECT_EQ(stats.chartDays()[1].barHeight, 50);
    EXPECT_EQ(stats.chartHeader(kToday).text(), "Fri 14 Mar  ·  0.5%");
}

TEST_F(HistoryRangeStatisticsTest, CumulativeBarNeverOverflows) {
    liveDose = 231;
    EXPECT_NEAR(statistics(kToday.addDays(-6)).cumulativeFraction(), 231.0 / 700.0, 1e-12);
    liveDose = 900;
    EXPECT_EQ(statistics(kToday.addDays(-6)).cumulativeFraction(), 1.0);
}

TEST_F(HistoryRangeStatisticsTest, CalendarCellsKnowTheirPlace) {
    history = {completed(berlin(kToday.addDays(-3), 10), 75)};
    const auto stats = statistics(kToday.addDays(-3));
    const auto start = stats.calendarCell(kToday.addDays(-3), kToday.addDays(-3));
    EXPECT_TRUE(start.isInRange && start.isRangeStart && start.isMultiDayRange && start.isAnchor);
    EXPECT_FALSE(start.isRangeEnd);
    EXPECT_EQ(start.colour, Colour::orange);
    const auto empty = stats.calendarCell(kToday.addDays(-1), std::nullopt);
    EXPECT_EQ(empty.colour, Colour::clear);
    EXPECT_FALSE(empty.isAnchor);
    const auto future = stats.calendarCell(kToday.addDays(1), std::nullopt);
    EXPECT_TRUE(future.isFuture);
    EXPECT_FALSE(future.isInRange);
    EXPECT_EQ(future.colour, Colour::clear);
    EXPECT_TRUE(stats.calendarCell(kToday, std::nullopt).isToday);
}

TEST(HistoryColourTest, BoundariesBelongToTheUpperBand) {
    EXPECT_EQ(HistoryRangeStatistics::doseColour(39.999), Colour::green);
    EXPECT_EQ(HistoryRangeStatistics::doseColour(40), Colour::yellow);
    EXPECT_EQ(HistoryRangeStatistics::doseColour(70), Colour::orange);
    EXPECT_EQ(HistoryRangeStatistics::doseColour(90), Colour::red);
    EXPECT_EQ(HistoryRangeStatistics::euWeeklyColour(79.99), Colour::green);
    EXPECT_EQ(HistoryRangeStatistics::euWeeklyColour(80), Colour::orange);
    EXPECT_EQ(HistoryRangeStatistics::euWeeklyColour(85), Colour::red);
    EXPECT_EQ(HistoryRangeStatistics::peakDBCColour(134.9), Colour::secondary);
    EXPECT_EQ(HistoryRangeStatistics::peakDBCColour(135), Colour::orange);
    EXPECT_EQ(HistoryRangeStatistics::peakDBCColour(140), Colour::red);
    EXPECT_EQ(HistoryRangeStatistics::peakDBCColour(std::nullopt), Colour::secondaryHalfOpacity);
    EXPECT_EQ(HistoryRangeStatistics::impulseColour(0), Colour::secondaryHalfOpacity);
    EXPECT_EQ(HistoryRangeStatistics::chartHeaderDoseColour(0), Colour::secondary);
}

} // namespace
} // namespace kavro::services
