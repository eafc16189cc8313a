// SPDX-License-Identifier: GPL-3.0-or-later
// The tray item over the application state: its symbol follows the band of the day's
// dose, its menu offers every command, and clicks are counted as a person means them.
#include "ui/shell/TrayController.h"

#include "ui/PanelFixture.h"
#include "ui/style/BandIcons.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

namespace kavro {
namespace {

using ui::TrayController;

class TrayControllerTest : public testing::PanelFixture {
protected:
    TrayControllerTest()
        : tray(*state, TrayController::Actions{[this](const QRect&) { ++toggles; }, [this] { ++shows; },
                                               [this] { ++histories; }, [this] { ++settings; },
                                               [this] { ++quits; }}) {}

    QStringList menuTexts() const {
        QStringList texts;
        for (const QAction* action : tray.menu().actions()) {
            if (!action->isSeparator()) {
                texts << action->text();
            }
        }
        return texts;
    }
    QAction* menuAction(const QString& text) const {
        for (QAction* action : tray.menu().actions()) {
            if (action->text() == text) {
                return action;
            }
        }
        ADD_FAILURE() << "no menu entry " << text.toStdString();
        return nullptr;
    }

    TrayController tray;
    int toggles = 0;
    int shows = 0;
    int histories = 0;
    int settings = 0;
    int quits = 0;
};

// When the icon and the tooltip go out is the tray status's own test; here, that the
// tray follows the day's dose with its band's symbol and words.
TEST_F(TrayControllerTest, TheSymbolFollowsTheBandOfTheDose) {
    tray.install();
    for (const double dose : {40.0, 70.0, 90.0, 0.0}) {
        setDose(dose);
        const models::DoseLevel level = models::doseLevelForPercentage(dose);
        EXPECT_EQ(tray.symbolName(), ui::BandIcons::symbolName(level)) << dose;
        EXPECT_TRUE(tray.toolTip().contains(models::label(level))) << tray.toolTip().toStdString();
    }
}

TEST_F(TrayControllerTest, TheMenuOffersEveryCommandAndFollowsTheSession) {
    EXPECT_EQ(menuTexts(),
              (QStringList{QStringLiteral("Show Panel"), QStringLiteral("Start Session"),
                           QStringLiteral("History…"), QStringLiteral("Settings…"), QStringLiteral("Quit")}));
    menuAction(QStringLiteral("Start Session"))->trigger();
    settle();
    ASSERT_TRUE(state->sessionManager().currentSession());
    EXPECT_EQ(state->sessionManager().currentSession()->dawName, models::Session::kManualSessionName);
    menuAction(QStringLiteral("End Session"))->trigger();
    settle();
    EXPECT_FALSE(state->sessionManager().currentSession());
    EXPECT_TRUE(menuAction(QStringLiteral("Start Session")));

    for (const char* entry : {"Show Panel", "History…", "Settings…", "Quit"}) {
        menuAction(QString::fromUtf8(entry))->trigger();
    }
    EXPECT_EQ(std::make_tuple(shows, histories, settings, quits), std::make_tuple(1, 1, 1, 1));
}

TEST_F(TrayControllerTest, AClickTogglesThePanelOnceAndADoubleClickCountsAsOne) {
    const int interval = QApplication::doubleClickInterval();
    QApplication::setDoubleClickInterval(150);
    tray.handleActivation(QSystemTrayIcon::Trigger);
    EXPECT_EQ(toggles, 1);
    // The second half of a double click, as Qt reports it and as some hosts do.
    tray.handleActivation(QSystemTrayIcon::DoubleClick);
    tray.handleActivation(QSystemTrayIcon::Trigger);
    // The menu and the middle button are not a click on the icon.
    tray.handleActivation(QSystemTrayIcon::Context);
    tray.handleActivation(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(toggles, 1);
    QTest::qWait(200);
    tray.handleActivation(QSystemTrayIcon::Trigger);
    EXPECT_EQ(toggles, 2) << "a later click toggles again";
    QApplication::setDoubleClickInterval(interval);
}

} // namespace
} // namespace kavro
