// SPDX-License-Identifier: GPL-3.0-or-later
// Where the panel's popup opens: next to the tray icon, on the side away from the
// screen edge the tray is on, centred on the icon, and never beyond the screen's
// available area (the screen without its panels).
#include "ui/shell/PopupPlacement.h"
#include "support/ParamNames.h"

#include <gtest/gtest.h>

namespace kavro::ui {
namespace {

using kavro::testing::PrintTo;

struct Placement {
    const char* name;
    QRect anchor;
    QSize popup;
    QRect available;
    QPoint expected;
};

class PopupPlacementTest : public ::testing::TestWithParam<Placement> {};

TEST_P(PopupPlacementTest, OpensNextToTheAnchorInsideTheScreen) {
    const Placement& placement = GetParam();
    const QPoint position = popupPosition(placement.anchor, placement.popup, placement.available);
    EXPECT_EQ(position, placement.expected);
    EXPECT_TRUE(placement.available.contains(QRect(position, placement.popup)) ||
                placement.popup.height() > placement.available.height());
}

INSTANTIATE_TEST_SUITE_P(Trays, PopupPlacementTest,
                         ::testing::Values(
                             // A taskbar at the bottom (40 px): above the icon, pushed left off the right
                             // edge and up out of the taskbar.
                             Placement{"BottomRightTray", QRect(1890, 1048, 24, 24), QSize(320, 480),
                                       QRect(0, 0, 1920, 1040), QPoint(1600, 560)},
                             // A panel at the top (28 px): below the icon, pushed right off the left edge.
                             Placement{"TopLeftTray", QRect(10, 2, 24, 24), QSize(320, 480),
                                       QRect(0, 28, 1920, 1052), QPoint(0, 30)},
                             // No icon geometry (StatusNotifierItem): at the cursor, here in the upper half.
                             Placement{"CursorInTheUpperHalf", QRect(960, 300, 1, 1), QSize(320, 480),
                                       QRect(0, 0, 1920, 1080), QPoint(800, 305)},
                             // A second screen to the right: its own area, not the first screen's.
                             Placement{"SecondScreen", QRect(3180, 1000, 22, 22), QSize(320, 480),
                                       QRect(1920, 0, 1280, 1024), QPoint(2880, 516)},
                             // A popup taller than the screen starts at its top.
                             Placement{"TallerThanTheScreen", QRect(600, 590, 24, 24), QSize(320, 700),
                                       QRect(0, 0, 1280, 600), QPoint(451, 0)}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

} // namespace
} // namespace kavro::ui
