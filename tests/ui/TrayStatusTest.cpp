// SPDX-License-Identifier: GPL-3.0-or-later
// What the tray item sends over D-Bus: the icon only on a new band, the tooltip at most
// once a minute, and a tooltip that had to wait is asked for again when its minute is up.
#include "ui/shell/TrayStatus.h"

#include <gtest/gtest.h>

namespace kavro::ui {
namespace {

using models::DoseLevel;
using namespace std::chrono_literals;

class TrayStatusTest : public ::testing::Test {
protected:
    TrayStatus::Changes at(std::chrono::milliseconds since, DoseLevel level, double dose) {
        return status.update(level, dose, TrayStatus::TimePoint{} + 1h + since);
    }
    TrayStatus status;
};

TEST_F(TrayStatusTest, TheFirstUpdateSendsBoth) {
    const auto changes = at(0ms, DoseLevel::caution, 42.5);
    EXPECT_EQ(changes.icon, DoseLevel::caution);
    EXPECT_EQ(changes.toolTip, QStringLiteral("Kavro — Caution, 42.5%"));
    EXPECT_FALSE(changes.askAgainIn);
}

TEST_F(TrayStatusTest, TheTooltipFollowsTheDoseAtMostOnceAMinute) {
    at(0ms, DoseLevel::safe, 10.0);
    // Ten ticks a second with the same tenth of a percent send nothing at all.
    for (int tick = 1; tick <= 10; ++tick) {
        const auto same = at(tick * 100ms, DoseLevel::safe, 10.04);
        EXPECT_FALSE(same.icon || same.toolTip || same.askAgainIn) << tick;
    }
    const auto early = at(20s, DoseLevel::safe, 10.1);
    EXPECT_FALSE(early.icon);
    EXPECT_FALSE(early.toolTip);
    EXPECT_EQ(early.askAgainIn, 40s);

    const auto due = at(60s, DoseLevel::safe, 10.2);
    EXPECT_EQ(due.toolTip, QStringLiteral("Kavro — Safe, 10.2%"));
    EXPECT_FALSE(due.icon) << "the band did not change";
    EXPECT_EQ(at(61s, DoseLevel::safe, 10.3).askAgainIn, 59s)
        << "the minute starts again from the last one sent";
}

TEST_F(TrayStatusTest, ANewBandSendsItsIconAndTooltipAtOnce) {
    at(0ms, DoseLevel::safe, 39.8);
    const auto crossed = at(5s, DoseLevel::caution, 40.0);
    EXPECT_EQ(crossed.icon, DoseLevel::caution);
    EXPECT_EQ(crossed.toolTip, QStringLiteral("Kavro — Caution, 40.0%"));
    // Back to safe (a dose reset) within the same minute: sent too.
    const auto reset = at(6s, DoseLevel::safe, 0.0);
    EXPECT_EQ(reset.icon, DoseLevel::safe);
    EXPECT_TRUE(reset.toolTip);
}

} // namespace
} // namespace kavro::ui
