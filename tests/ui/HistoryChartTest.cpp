// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryChart.h"
#include "platform/testing/ManualClock.h"
#include "services/HistoryRangeStatistics.h"
#include "support/HistoryDays.h"

#include <gtest/gtest.h>

namespace kavro::ui {
namespace {

using models::Session;
using platform::testing::ManualClock;
using services::HistoryRangeStatistics;
using testing::berlin;
using testing::completedSession;
using testing::kBerlin;
using testing::kToday;

class HistoryChartTest : public ::testing::Test {
protected:
    HistoryChartTest() : clock(berlin(kToday, 15), kBerlin) {}

    HistoryChart chart(QDate start, QDate end = kToday) const {
        return HistoryChart(HistoryRangeStatistics(history, liveDose, clock, start, end),
                            QLocale(QLocale::English));
    }

    ManualClock clock;
    QList<Session> history;
    double liveDose = 0;
};

TEST_F(HistoryChartTest, EmptyWeekShowsEveryDayWithTodayMarked) {
    const auto empty = chart(kToday.addDays(-6));
    ASSERT_EQ(empty.days().size(), 7);
    EXPECT_EQ(empty.days().front().label, "Sa");
    EXPECT_EQ(empty.days().back().label, "·");
    EXPECT_EQ(empty.days().back().barHeight, HistoryChart::kMinBarHeight);
    EXPECT_EQ(empty.days().back().colour, HistoryColour::green);
    EXPECT_EQ(empty.header(std::nullopt).text(), "Selected range");
}

TEST_F(HistoryChartTest, LongRangeChartsItsLastSevenDays) {
    const QDate end = kToday.addDays(-1);
    history = {completedSession(berlin(end, 10), 200), completedSession(berlin(end.addDays(-1), 10), 50),
               completedSession(berlin(end.addDays(-1), 12), 0.04),
               completedSession(berlin(end.addDays(-19), 10), 500)};
    const auto longRange = chart(end.addDays(-19), end);
    const auto& days = longRange.days();
    ASSERT_EQ(days.size(), 7);
    EXPECT_EQ(days.front().day, end.addDays(-6));
    EXPECT_EQ(days.back().day, end);
    EXPECT_EQ(days.back().label, "Th");
    EXPECT_EQ(days.back().barHeight, 100);
    EXPECT_NEAR(days[5].barHeight, 25.02, 1e-9); // 50.04 % of the 200 % day
    EXPECT_EQ(days[0].barHeight, 3);
    EXPECT_EQ(days.back().colour, HistoryColour::red);
    EXPECT_EQ(longRange.header(std::nullopt).text(), "Last 7 days");
    EXPECT_EQ(longRange.header(end.addDays(-10)).text(), "Last 7 days"); // not a chart day

    const auto hovered = longRange.header(end.addDays(-1));
    EXPECT_EQ(hovered.text(), "Wed 12 Mar  ·  50.0%  ·  2 sessions");
    EXPECT_EQ(hovered.doseColour, HistoryColour::yellow);
    const auto empty = longRange.header(end.addDays(-3));
    EXPECT_EQ(empty.text(), "Mon 10 Mar  ·  No data");
    EXPECT_EQ(empty.doseColour, HistoryColour::secondary);
}

TEST_F(HistoryChartTest, SmallDosesScaleToOnePercentWithTheLiveDoseToday) {
    liveDose = 0.5;
    history = {completedSession(berlin(kToday, 9), 30)}; // today's bar is the live dose, not this
    const auto small = chart(kToday.addDays(-1));
    ASSERT_EQ(small.days().size(), 2);
    EXPECT_EQ(small.days()[1].barHeight, 50);
    EXPECT_EQ(small.header(kToday).text(), "Fri 14 Mar  ·  0.5%  ·  1 session");
}

} // namespace
} // namespace kavro::ui
