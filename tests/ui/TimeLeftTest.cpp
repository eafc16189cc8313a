// SPDX-License-Identifier: GPL-3.0-or-later
// The time left until the day's allowance is used up at the present level.
#include "ui/panel/TimeLeft.h"
#include "support/ParamNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace kavro::ui {
namespace {

struct TimeLeftCase {
    double dose;  // fraction of the allowance used
    double level; // dB
    const char* text;
};

void PrintTo(const TimeLeftCase& left, std::ostream* os) {
    *os << left.dose << " used at " << left.level << " dB";
}

class TimeLeftTextTest : public ::testing::TestWithParam<TimeLeftCase> {};

TEST_P(TimeLeftTextTest, Wording) {
    const TimeLeftCase& c = GetParam();
    EXPECT_EQ(TimeLeft::at(c.dose, c.level).text(), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Levels, TimeLeftTextTest,
    ::testing::Values(
        // 88 dBA allows 4 h; half of the allowance is left.
        TimeLeftCase{0.5, 88.0, "Time left: 2 h 0 min"}, TimeLeftCase{0.0, 85.0, "Time left: 8 h 0 min"},
        // 91 dBA allows 2 h; 80 % of it is 96 min.
        TimeLeftCase{0.2, 91.0, "Time left: 1 h 36 min"},
        // 100 dBA allows 15 min; half of it is 7.5 min, rounded down.
        TimeLeftCase{0.5, 100.0, "Time left: 7 min"},
        // Under a minute is not yet the limit.
        TimeLeftCase{0.999, 100.0, "Time left: less than a minute"},
        TimeLeftCase{0.9, 120.0, "Time left: less than a minute"},
        // 80 dBA allows more than 25 h.
        TimeLeftCase{0.0, 80.0, "Time left: more than a day"}, TimeLeftCase{0.0, 79.99, "No dose accrues"},
        TimeLeftCase{0.3, -std::numeric_limits<double>::infinity(), "No dose accrues"},
        TimeLeftCase{0.3, std::numeric_limits<double>::quiet_NaN(), "No dose accrues"},
        // Once the allowance is used up nothing else matters.
        TimeLeftCase{1.0, 95.0, "Daily limit reached"}, TimeLeftCase{1.5, 60.0, "Daily limit reached"}),
    kavro::testing::PrintedName());

TEST(TimeLeftTest, OneDayIsTheLastTimeShownInHoursAndMinutes) {
    // 8 h / 2^((L − 85) / 3) = 24 h exactly below this level.
    const double oneDayLevel = 85.0 - 3.0 * std::log2(3.0);
    // A thousandth of a decibel moves the time by about 20 s.
    const TimeLeft justUnder = TimeLeft::at(0.0, oneDayLevel + 0.001);
    ASSERT_EQ(justUnder.kind, TimeLeft::Kind::remaining);
    EXPECT_LE(justUnder.seconds, TimeLeft::kOneDaySeconds);
    EXPECT_EQ(justUnder.text(), QStringLiteral("Time left: 23 h 59 min"));
    EXPECT_EQ(TimeLeft::at(0.0, oneDayLevel - 0.001).text(), QStringLiteral("Time left: more than a day"));
}

TEST(TimeLeftTest, TheLineBelowNamesTheLevelItWasWorkedOutAt) {
    EXPECT_EQ(TimeLeft::basisText(TimeLeft::Basis::lastMinute, 78.24),
              QStringLiteral("at the last minute's level (78.2 dBA)"));
    EXPECT_EQ(TimeLeft::basisText(TimeLeft::Basis::current, 85.0),
              QStringLiteral("at the current level (85.0 dBA)"));
    EXPECT_EQ(TimeLeft::basisText(TimeLeft::Basis::currentCWeighted, 90.06),
              QStringLiteral("at the current C-weighted level (90.1 dBC)"));
}

} // namespace
} // namespace kavro::ui
