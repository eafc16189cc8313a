// The panel as a screen reader meets it: the panel program runs on the test display
// with Qt's AT-SPI bridge on, and Debian's pyatspi reads its widgets from the
// accessibility bus and presses its buttons.
#include "support/AccessibleHost.h"

#include <gtest/gtest.h>

namespace kavro {
namespace {

using testing::AccessibleHost;
using testing::AccessibleObject;

class PanelAccessibilityTest : public testing::AccessibleHostTest {
protected:
    PanelAccessibilityTest()
        : AccessibleHostTest(QStringLiteral("kavro-panel-host"),
                             {QStringLiteral("--measuring"), QStringLiteral("--low-frequency"),
                              QStringLiteral("--dose"), QStringLiteral("42.5")}) {}

    static const AccessibleObject* find(const std::vector<AccessibleObject>& objects, const QString& name) {
        return AccessibleHost::find(objects, name);
    }

    static bool anyMatches(const std::vector<AccessibleObject>& objects, const QString& pattern) {
        return !AccessibleHost::matching(objects, pattern).empty();
    }
};

TEST_F(PanelAccessibilityTest, EveryValueAndControlIsNamed) {
    const auto objects = read({QStringLiteral("tree")});
    ASSERT_FALSE(objects.empty());
    for (const auto& object : objects) {
        if (object.showing &&
            (object.role == QLatin1String("label") || object.role == QLatin1String("push button"))) {
            EXPECT_FALSE(object.name.isEmpty()) << object.role.toStdString();
        }
    }
    // Values are read with their units, as they are drawn.
    EXPECT_TRUE(anyMatches(objects, QStringLiteral("^\\d+\\.\\d dBA$")));
    EXPECT_TRUE(anyMatches(objects, QStringLiteral("^\\d+\\.\\d dBC$")));
    EXPECT_TRUE(anyMatches(objects, QStringLiteral("^LF gap \\+\\d+ dB$")));
    EXPECT_TRUE(anyMatches(objects, QStringLiteral("^4\\d\\.\\d%$")));
    // The band is words, not only a colour.
    EXPECT_TRUE(find(objects, QStringLiteral("Caution")));
    EXPECT_TRUE(find(objects, QStringLiteral("Hearing Dose")));
    for (const char* button : {"End Session", "Reset Dose", "Settings", "History", "Quit"}) {
        const AccessibleObject* found = find(objects, QLatin1String(button));
        ASSERT_TRUE(found) << button;
        EXPECT_TRUE(found->enabled) << button;
    }
    const AccessibleObject* updates = find(objects, QStringLiteral("Updates"));
    ASSERT_TRUE(updates);
    EXPECT_FALSE(updates->enabled);
    EXPECT_EQ(updates->description, QStringLiteral("Updates come from your package manager"));
}

TEST_F(PanelAccessibilityTest, AScreenReaderCanAskForTheResetAndCancelIt) {
    const auto asked = read({QStringLiteral("press"), QStringLiteral("Reset Dose"), QStringLiteral("wait"),
                             QStringLiteral("Reset dose to 0%?"), QStringLiteral("tree")});
    EXPECT_TRUE(find(asked, QStringLiteral("Cancel")));
    EXPECT_TRUE(find(asked, QStringLiteral("Reset")));
    EXPECT_FALSE(find(asked, QStringLiteral("Reset Dose")));

    const auto cancelled = read({QStringLiteral("press"), QStringLiteral("Cancel"), QStringLiteral("wait"),
                                 QStringLiteral("Reset Dose"), QStringLiteral("tree")});
    EXPECT_FALSE(find(cancelled, QStringLiteral("Reset dose to 0%?")));
    // The dose is untouched.
    EXPECT_TRUE(anyMatches(cancelled, QStringLiteral("^4\\d\\.\\d%$")));
}

} // namespace
} // namespace kavro
