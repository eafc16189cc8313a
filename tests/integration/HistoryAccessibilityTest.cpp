// The History window as a screen reader meets it: the history host runs on the test
// display with Qt's AT-SPI bridge on, over a made-up month of sessions, and Debian's
// pyatspi reads the day cells and tiles and presses the controls.
#include "support/AccessibleHost.h"

#include <gtest/gtest.h>

namespace kavro {
namespace {

using testing::AccessibleHost;
using testing::AccessibleObject;

class HistoryAccessibilityTest : public testing::AccessibleHostTest {
protected:
    HistoryAccessibilityTest()
        : AccessibleHostTest(
              QStringLiteral("kavro-history-host"),
              {QStringLiteral("--month"), QStringLiteral("--locale"), QStringLiteral("en_GB")}) {}
};

TEST_F(HistoryAccessibilityTest, EveryDayOfTheMonthAndEveryTileIsNamed) {
    const auto objects = read({QStringLiteral("tree")});
    ASSERT_FALSE(objects.empty());
    // The host's today is Friday 14 March 2025: the days up to it have a dose, the rest
    // are only dates.
    const auto past =
        AccessibleHost::matching(objects, QStringLiteral("^([1-9]|1[0-4]) March 2025, dose \\d+\\.\\d %$"));
    const auto future = AccessibleHost::matching(objects, QStringLiteral("^(1[5-9]|2\\d|3[01]) March 2025$"));
    EXPECT_EQ(past.size(), 14u);
    EXPECT_EQ(future.size(), 17u);
    for (const auto& cell : past) {
        EXPECT_EQ(cell.role, QStringLiteral("table cell")) << cell.name.toStdString();
    }
    const auto today = AccessibleHost::matching(objects, QStringLiteral("^14 March 2025, dose "));
    ASSERT_EQ(today.size(), 1u);
    EXPECT_TRUE(today.front().description.contains(QStringLiteral("today")))
        << today.front().description.toStdString();
    EXPECT_TRUE(today.front().description.contains(QStringLiteral("selected")));

    for (const char* tile :
         {"^Total dose: \\d+\\.\\d%$", "^Avg per day: \\d+\\.\\d%$", "^EU weekly \\(L𝒈,w\\): \\d+\\.\\d dBA$",
          "^Peak dBA: \\d+ dBA$", "^Peak dBC: \\d+ dBC$", "^Impulses ≥135 dBC: (None|×\\d+)$"}) {
        EXPECT_EQ(AccessibleHost::matching(objects, QString::fromUtf8(tile)).size(), 1u) << tile;
    }
    for (const char* control : {"Previous month", "Next month", "7 days", "14 days", "30 days", "This month",
                                "Export CSV", "About Avg per day"}) {
        const AccessibleObject* found = AccessibleHost::find(objects, QLatin1String(control));
        ASSERT_TRUE(found) << control;
        EXPECT_EQ(found->enabled, QLatin1String(control) != QLatin1String("Next month")) << control;
    }
    EXPECT_TRUE(AccessibleHost::find(objects, QStringLiteral("Daily dose chart: Selected range")));
    EXPECT_FALSE(
        AccessibleHost::matching(objects, QStringLiteral("^(REAPER|Bitwig Studio|Ardour|Ableton Live), "))
            .empty());
}

TEST_F(HistoryAccessibilityTest, AScreenReaderCanChooseARangeAndAskToDelete) {
    const auto month = read({QStringLiteral("press"), QStringLiteral("30 days"), QStringLiteral("wait"),
                             QStringLiteral("13 Feb 2025 – 14 Mar 2025"), QStringLiteral("tree")});
    EXPECT_TRUE(AccessibleHost::find(month, QStringLiteral("Daily dose chart: Last 7 days")));
    EXPECT_EQ(AccessibleHost::matching(month, QStringLiteral("^30 days$")).size(),
              2u); // the preset and the count

    const auto asked =
        read({QStringLiteral("press"), QStringLiteral("Delete session"), QStringLiteral("wait"),
              QStringLiteral("Delete session?"), QStringLiteral("tree")});
    EXPECT_TRUE(AccessibleHost::find(asked, QStringLiteral("Cancel")));
    EXPECT_TRUE(AccessibleHost::find(asked, QStringLiteral("Delete")));
    const auto sessionsBefore = AccessibleHost::matching(asked, QStringLiteral(", \\+\\d+\\.\\d% session, "));

    const auto cancelled = read({QStringLiteral("press"), QStringLiteral("Cancel"), QStringLiteral("gone"),
                                 QStringLiteral("Delete session?"), QStringLiteral("tree")});
    EXPECT_FALSE(AccessibleHost::find(cancelled, QStringLiteral("Delete session?")));
    EXPECT_EQ(AccessibleHost::matching(cancelled, QStringLiteral(", \\+\\d+\\.\\d% session, ")).size(),
              sessionsBefore.size());
}

} // namespace
} // namespace kavro
