// The tray item over the application state: its symbol follows the band of the day's
// dose, its menu offers every command, and clicks are counted as a person means them.
#include "ui/shell/TrayController.h"

#include "ui/PanelFixture.h"

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

TEST_F(TrayControllerTest, TheSymbolFollowsTheBandOfTheDose) {
    tray.install();
    EXPECT_EQ(tray.toolTip(), QStringLiteral("Kavro — Safe, 0.0%"));
    const struct {
        double dose;
        const char* symbol;
        const char* toolTip;
    } steps[] = {
        // The same band within the minute: the new dose waits for its turn.
        {39.9, "ear", "Kavro — Safe, 0.0%"},
        // A new band goes out at once, with its tooltip.
        {40.0, "ear.fill", "Kavro — Caution, 40.0%"},
        {70.0, "ear.trianglebadge.exclamationmark", "Kavro — Warning, 70.0%"},
        {90.0, "exclamationmark.triangle.fill", "Kavro — Over-exposed, 90.0%"},
        {0.0, "ear", "Kavro — Safe, 0.0%"},
    };
    for (const auto& step : steps) {
        setDose(step.dose);
        EXPECT_EQ(tray.symbolName(), QLatin1String(step.symbol)) << step.dose;
        EXPECT_EQ(tray.toolTip(), QString::fromUtf8(step.toolTip)) << step.dose;
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
