// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryGroupHeader.h"
#include "platform/testing/ManualClock.h"
#include "support/HistoryDays.h"

#include <gtest/gtest.h>

namespace kavro::ui {
namespace {

using platform::testing::ManualClock;
using services::HistoryRangeStatistics;
using testing::berlin;
using testing::completedSession;
using testing::kBerlin;
using testing::kToday;

TEST(HistoryGroupHeaderTest, ShowsTheDayAndItsStoredSessionsNotTheLiveDose) {
    const ManualClock clock(berlin(kToday, 15), kBerlin);
    const double liveDose = 95; // today's live dose, red in the calendar
    const HistoryRangeStatistics stats(
        {completedSession(berlin(kToday, 11), 20), completedSession(berlin(kToday, 9), 15)}, liveDose, clock,
        kToday.addDays(-6), kToday);
    ASSERT_EQ(stats.groupedRangeSessions().size(), 1);
    const auto header =
        HistoryGroupHeader::of(stats.groupedRangeSessions().front(), QLocale(QLocale::English));
    EXPECT_EQ(header.title, "Mar 14, 2025");
    EXPECT_EQ(header.dose, 35);
    EXPECT_EQ(header.colour, HistoryColour::green);
}

} // namespace
} // namespace kavro::ui
