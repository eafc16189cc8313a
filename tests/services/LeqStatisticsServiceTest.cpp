// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/LeqStatisticsService.h"
#include "support/NaiveLeqStatistics.h"
#include "support/ParamNames.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using kavro::services::LeqStatisticsService;

void feed(LeqStatisticsService& statistics, int count, double level) {
    for (int i = 0; i < count; ++i) {
        statistics.addReading(level);
    }
}

bool anyPresent(const LeqStatisticsService& s) {
    return s.leq1min() || s.leq10min() || s.leq30min() || s.l10() || s.l50() || s.l90();
}

TEST(LeqStatisticsService, ValuesAppearOnlyOnceTheirWindowIsFull) {
    LeqStatisticsService statistics(10.0);
    EXPECT_EQ(statistics.maxSamples(), 18000);
    feed(statistics, 599, 80.0);
    EXPECT_FALSE(anyPresent(statistics));

    statistics.addReading(80.0); // the 600th reading is also a whole second
    EXPECT_DOUBLE_EQ(*statistics.leq1min(), 80.0);
    EXPECT_DOUBLE_EQ(*statistics.l50(), 80.0);
    EXPECT_FALSE(statistics.leq10min());

    feed(statistics, 6000 - 600, 80.0);
    EXPECT_TRUE(statistics.leq10min());
    feed(statistics, 18000 - 6000 - 1, 80.0);
    EXPECT_FALSE(statistics.leq30min());
    statistics.addReading(80.0);
    EXPECT_DOUBLE_EQ(*statistics.leq30min(), 80.0);
}

// Half a minute at 70 dB and half at 90 dB: the energy average is dominated by the loud
// half, and the median is read from the sorted readings once a second only.
TEST(LeqStatisticsService, EnergyAverageAndLnRefreshedOnceASecond) {
    LeqStatisticsService statistics(10.0);
    feed(statistics, 300, 70.0);
    feed(statistics, 300, 90.0);
    EXPECT_NEAR(*statistics.leq1min(), 10.0 * std::log10((1e7 + 1e9) / 2.0), 1e-12);
    EXPECT_NEAR(*statistics.leq1min(), 87.03, 0.005);
    EXPECT_EQ(*statistics.l50(), 90.0); // index round(299.5) = 300: halves round up
    feed(statistics, 9, 0.0);
    EXPECT_EQ(*statistics.l50(), 90.0) << "not refreshed between whole seconds";
    statistics.addReading(0.0);
    EXPECT_EQ(*statistics.l50(), 70.0);
}

TEST(LeqStatisticsService, PercentileLevelsOf601Readings) {
    // At one reading a second the Ln values are refreshed on every reading, so the
    // 601st is seen at once; the order of arrival does not matter.
    LeqStatisticsService ascending(1.0);
    LeqStatisticsService descending(1.0);
    for (int level = 0; level <= 600; ++level) {
        ascending.addReading(level);
        descending.addReading(600 - level);
    }
    for (const LeqStatisticsService* statistics : {&ascending, &descending}) {
        EXPECT_EQ(*statistics->l10(), 540.0);
        EXPECT_EQ(*statistics->l50(), 300.0);
        EXPECT_EQ(*statistics->l90(), 60.0);
    }
}

TEST(LeqStatisticsService, OldestReadingLeavesWithoutATrace) {
    LeqStatisticsService statistics(10.0);
    statistics.addReading(150.0);
    feed(statistics, 17999, 50.0);
    EXPECT_GT(*statistics.leq30min(), 100.0);
    statistics.addReading(50.0);
    EXPECT_EQ(statistics.sampleCount(), 18000);
    EXPECT_DOUBLE_EQ(*statistics.leq30min(), 50.0);
    EXPECT_DOUBLE_EQ(*statistics.leq1min(), 50.0);
}

TEST(LeqStatisticsService, ResetMakesEverythingAbsentAtOnceAndStartsAfresh) {
    LeqStatisticsService statistics(10.0);
    feed(statistics, 18000, 90.0);
    QSignalSpy spy(&statistics, &LeqStatisticsService::changed);
    statistics.reset();
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(anyPresent(statistics));
    EXPECT_EQ(statistics.tickCount(), 0);
    feed(statistics, 600, 70.0);
    EXPECT_DOUBLE_EQ(*statistics.leq1min(), 70.0);
    EXPECT_DOUBLE_EQ(*statistics.l10(), 70.0);
    EXPECT_FALSE(statistics.leq10min());
}

TEST(LeqStatisticsService, RateBelowOneReadingAMinuteUsesTheNewestReading) {
    LeqStatisticsService statistics(0.01); // windows: 0, 6 and 18 readings
    EXPECT_EQ(statistics.maxSamples(), 18);
    statistics.addReading(73.0);
    EXPECT_DOUBLE_EQ(*statistics.leq1min(), 73.0);
    EXPECT_DOUBLE_EQ(*statistics.l50(), 73.0);
    EXPECT_FALSE(statistics.leq10min());
}

// The incremental values against the definitions, reading by reading, over more than
// a full window of varied levels with loud bursts and repeated values.
class LeqStatisticsAgainstDefinition : public ::testing::TestWithParam<double> {};

TEST_P(LeqStatisticsAgainstDefinition, EqualUpToRounding) {
    const double rate = GetParam();
    LeqStatisticsService statistics(rate);
    kavro::testsupport::NaiveLeqStatistics reference(rate);
    std::mt19937 random(20250314);
    std::normal_distribution<double> music(78.0, 9.0);
    std::uniform_int_distribution<int> burst(0, 400);
    const int readings = static_cast<int>(statistics.maxSamples()) * 5 / 4 + 37;
    auto same = [](const std::optional<double>& actual, const std::optional<double>& expected) {
        return actual.has_value() == expected.has_value() &&
               (!actual || std::abs(*actual - *expected) < 1e-9);
    };
    for (int i = 0; i < readings; ++i) {
        double level = std::round(music(random) * 10.0) / 10.0; // repeated values
        if (burst(random) == 0) {
            level = 145.0;
        }
        statistics.addReading(level);
        reference.push(level);
        // The reference is evaluated only where it is compared (every seventh Ln refresh
        // and around reading 600, where the values appear at ten a second), which keeps the
        // test fast; there its Ln values come from the same refresh as the service's.
        const std::int64_t tick = i + 1;
        const std::int64_t refresh = reference.lnRefreshTicks();
        const bool nearOneMinute = tick >= 595 - refresh && tick <= 605;
        if (tick % refresh == 0 && (nearOneMinute || tick % (7 * refresh) == 0)) {
            reference.recalculateLn();
        }
        if (tick % (7 * refresh) == 0 || (nearOneMinute && tick >= 595)) {
            reference.recalculateLeq();
            ASSERT_TRUE(same(statistics.leq1min(), reference.leq1min)) << "reading " << i;
            ASSERT_TRUE(same(statistics.leq10min(), reference.leq10min)) << "reading " << i;
            ASSERT_TRUE(same(statistics.leq30min(), reference.leq30min)) << "reading " << i;
            ASSERT_EQ(statistics.l10(), reference.l10) << "reading " << i;
            ASSERT_EQ(statistics.l50(), reference.l50) << "reading " << i;
            ASSERT_EQ(statistics.l90(), reference.l90) << "reading " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, LeqStatisticsAgainstDefinition, ::testing::Values(10.0, 3.7, 1.0),
                         kavro::testing::PrintedName());

} // namespace
