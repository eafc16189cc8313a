// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryTiles.h"

#include "platform/testing/ManualClock.h"
#include "services/HistoryRangeStatistics.h"
#include "support/HistoryDays.h"
#include "support/QtPrinters.h"

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

Session peaks(QDate day, double peakSPL, double peakDBC, std::int64_t count135) {
    Session session = completedSession(berlin(day, 10), 33);
    session.peakSPL = peakSPL;
    session.peakDBC = peakDBC;
    session.peakCount135 = count135;
    return session;
}

TEST(HistoryTilesTest, PeaksAreWholeDecibelsColouredByTheUnroundedValue) {
    const ManualClock clock(berlin(kToday, 15), kBerlin);
    struct Case {
        QList<Session> history;
        QString peakDBA;
        QString peakDBC;
        HistoryColour peakDBCColour;
        QString impulses;
        HistoryColour impulseColour;
    };
    const std::vector<Case> cases{
        {{peaks(kToday, 101.5, 134.4, 0)},
         "102 dBA",
         "134 dBC",
         HistoryColour::secondary,
         "None",
         HistoryColour::secondaryHalfOpacity},
        {{peaks(kToday, 99, 135, 3)},
         "99 dBA",
         "135 dBC",
         HistoryColour::orange,
         "×3",
         HistoryColour::orange},
        // Rounds up to 140 on screen, but is below the limit value: orange, not red.
        {{peaks(kToday, 99, 139.6, 1), peaks(kToday.addDays(-1), 120, 100, 2)},
         "120 dBA",
         "140 dBC",
         HistoryColour::orange,
         "×3",
         HistoryColour::orange},
        {{peaks(kToday.addDays(-2), 99, 140, 1)},
         "99 dBA",
         "140 dBC",
         HistoryColour::red,
         "×1",
         HistoryColour::orange},
    };
    for (const Case& expected : cases) {
        const auto tiles =
            HistoryTiles::of(HistoryRangeStatistics(expected.history, 0, clock, kToday.addDays(-6), kToday));
        EXPECT_EQ(tiles[3].value, expected.peakDBA);
        EXPECT_EQ(tiles[3].colour, HistoryColour::secondary);
        EXPECT_EQ(tiles[4].value, expected.peakDBC);
        EXPECT_EQ(tiles[4].colour, expected.peakDBCColour) << expected.peakDBC.toStdString();
        EXPECT_EQ(tiles[5].value, expected.impulses);
        EXPECT_EQ(tiles[5].colour, expected.impulseColour);
    }
}

// Whether the EU weekly level is missing for too few days or for no dose at all.
TEST(HistoryTilesTest, AnEmptyRangeSaysWhyItHasNoWeeklyLevel) {
    const ManualClock clock(berlin(kToday, 15), kBerlin);
    for (const int days : {4, 5}) {
        const HistoryRangeStatistics range({}, 0, clock, kToday.addDays(1 - days), kToday);
        const bool enoughDays = days >= HistoryRangeStatistics::kWorkingWeekDays;
        EXPECT_EQ(HistoryTiles::of(range)[2].value, enoughDays ? "No dose in range" : "≥5 days needed")
            << days;
    }
}

TEST(HistoryTilesTest, AWeekAtAThirdOfTheBudgetEachDay) {
    const ManualClock clock(berlin(kToday, 15), kBerlin);
    QList<Session> history;
    for (int back = 1; back < 7; ++back) {
        history.append(completedSession(berlin(kToday.addDays(-back), 10), 33));
    }
    const HistoryRangeStatistics week(history, 33, clock, kToday.addDays(-6), kToday);
    const auto tiles = HistoryTiles::of(week);
    EXPECT_EQ(tiles[0].value, "231.0%");
    EXPECT_EQ(tiles[1].value, "33.0%");
    EXPECT_EQ(tiles[1].colour, HistoryColour::green);
    EXPECT_EQ(tiles[2].label, "EU weekly (L𝒈,w)");
    EXPECT_EQ(tiles[2].value, "81.7 dBA"); // 85 + 3·log2(0.33) + 10·log10(7/5)
    EXPECT_EQ(tiles[2].colour, HistoryColour::orange);
    EXPECT_EQ(HistoryTiles::cumulativeText(week), "231.0%  of 7×100%");
    EXPECT_EQ(tiles[1].spokenText(), "Avg per day: 33.0%");
    EXPECT_EQ(tiles[3].spokenText(), "Peak dBA: no value");

    // The explanations: the dose bands for the average, the action values for the levels.
    const std::vector<std::pair<std::size_t, std::vector<HistoryColour>>> rows{
        {0, {}},
        {1, {HistoryColour::green, HistoryColour::yellow, HistoryColour::orange, HistoryColour::red}},
        {2, {HistoryColour::green, HistoryColour::orange, HistoryColour::red}},
        {3, {HistoryColour::green, HistoryColour::red}},
        {4, {HistoryColour::green, HistoryColour::orange, HistoryColour::red}},
        {5, {}},
    };
    for (const auto& [index, colours] : rows) {
        std::vector<HistoryColour> shown;
        for (const auto& threshold : tiles[index].info.thresholds) {
            shown.push_back(threshold.colour);
        }
        EXPECT_EQ(shown, colours) << index;
        EXPECT_FALSE(tiles[index].info.detail.isEmpty());
    }
    EXPECT_EQ(tiles[2].info.title, "EU weekly level (L𝒈,w)");
}

} // namespace
} // namespace kavro::ui
