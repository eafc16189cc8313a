// The settings window as a screen reader meets it: the settings host runs on the test
// display with Qt's AT-SPI bridge on, and Debian's pyatspi reads its widgets and
// presses its buttons.
#include "support/AccessibleHost.h"

#include <gtest/gtest.h>

namespace kavro {
namespace {

using testing::AccessibleHost;
using testing::AccessibleObject;

class SettingsAccessibilityTest : public testing::AccessibleHostTest {
protected:
    SettingsAccessibilityTest()
        : AccessibleHostTest(QStringLiteral("kavro-settings-host"),
                             {QStringLiteral("--correction"), QStringLiteral("--profiles")}) {}
};

TEST_F(SettingsAccessibilityTest, TabsAndEveryControlOfTheAudioTabAreNamed) {
    const auto objects = read({QStringLiteral("tree")});
    ASSERT_FALSE(objects.empty());
    QStringList tabs;
    int controls = 0;
    for (const auto& object : objects) {
        if (object.role == QLatin1String("page tab")) {
            tabs.append(object.name);
        }
        static const QStringList kControlRoles{"push button", "check box", "combo box",    "text",
                                               "slider",      "label",     "progress bar", "chart"};
        if (object.showing && kControlRoles.contains(object.role)) {
            ++controls;
            EXPECT_FALSE(object.name.isEmpty()) << object.role.toStdString();
        }
    }
    EXPECT_EQ(tabs, (QStringList{"Audio", "Safety", "DAWs", "General"}));
    EXPECT_GT(controls, 30);
    for (const char* name : {"Microphone", "Output", "Mic Location", "Calibration Offset", "Refresh Devices",
                             "Apply correction", "Correction curve", "Clear Measurement", "Play Pink Noise",
                             "Profile label", "Delete Studio mic at the desk"}) {
        EXPECT_TRUE(AccessibleHost::find(objects, QLatin1String(name))) << name;
    }
    // Values are read as they are drawn.
    EXPECT_FALSE(AccessibleHost::matching(objects, QStringLiteral("^94\\.0 dB$")).empty());
}

TEST_F(SettingsAccessibilityTest, AScreenReaderCanStartAndStopThePinkNoise) {
    const auto playing =
        read({QStringLiteral("press"), QStringLiteral("Play Pink Noise"), QStringLiteral("wait"),
              QStringLiteral("Stop Pink Noise"), QStringLiteral("tree")});
    EXPECT_TRUE(AccessibleHost::find(playing, QStringLiteral("Adjust offset until reading stabilises")));
    EXPECT_FALSE(AccessibleHost::find(playing, QStringLiteral("Play noise or start a session")))
        << "the noise runs capture, so the live reading leaves its hint";

    const auto stopped =
        read({QStringLiteral("press"), QStringLiteral("Stop Pink Noise"), QStringLiteral("wait"),
              QStringLiteral("Play Pink Noise"), QStringLiteral("tree")});
    EXPECT_FALSE(AccessibleHost::find(stopped, QStringLiteral("Adjust offset until reading stabilises")));
}

} // namespace
} // namespace kavro
