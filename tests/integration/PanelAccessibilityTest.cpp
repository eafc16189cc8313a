// The panel as a screen reader meets it: the panel program runs on the test display
// with Qt's AT-SPI bridge on, and Debian's pyatspi presses its buttons over the
// accessibility bus. That every value and control has a name is the panel widget's own
// test; the real program's panel is read over the bus by the input-file test.
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
