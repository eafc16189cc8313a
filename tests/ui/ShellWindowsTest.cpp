// SPDX-License-Identifier: GPL-3.0-or-later
// The shell's windows, offscreen: the panel's three ways of showing, the History and
// Settings windows that exist once and come back as the user left them, and the
// trayless start.
#include "ui/shell/PanelHost.h"
#include "ui/shell/Shell.h"
#include "ui/shell/TrayController.h"
#include "ui/shell/WindowHost.h"

#include "ui/PanelFixture.h"
#include "ui/history/HistoryWindowContent.h"
#include "ui/panel/PanelWidget.h"

#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

namespace kavro {
namespace {

using ui::PanelHost;
using ui::WindowHost;

class PanelHostTest : public testing::PanelFixture {
protected:
    PanelHostTest()
        : host([this](QWidget* parent) { return new ui::PanelWidget(*state, updater, {}, parent); }) {}

    PanelHost host;
};

TEST_F(PanelHostTest, WithoutATrayItIsAWindowTitledKavroWhoseClosingAsksToQuit) {
    host.setMode(PanelHost::Mode::standalone);
    host.show();
    EXPECT_EQ(host.window().windowTitle(), QStringLiteral("Kavro"));
    QSignalSpy closeRequested(&host, &PanelHost::closeRequested);
    host.window().close();
    EXPECT_EQ(closeRequested.count(), 1);
    // Escape is no way to quit the program.
    QTest::keyClick(&host.window(), Qt::Key_Escape);
    EXPECT_TRUE(host.isVisible());
    EXPECT_EQ(closeRequested.count(), 1);
}

TEST_F(PanelHostTest, ThePopupOpensInsideTheScreenAndClosesOnEscape) {
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    // An icon in the bottom right corner.
    host.toggle(QRect(available.right() - 10, available.bottom() - 10, 22, 22));
    ASSERT_TRUE(host.isVisible());
    EXPECT_TRUE(available.contains(host.window().frameGeometry())) << "the popup fits the screen";
    QTest::keyClick(&host.window(), Qt::Key_Escape);
    EXPECT_FALSE(host.isVisible());
    // The click on the icon that closed the popup arrives just after as a toggle: it
    // must not open it again at once.
    host.toggle(QRect());
    EXPECT_FALSE(host.isVisible());
    QTest::qWait(PanelHost::kReopenGuardMs + 50);
    host.toggle(QRect());
    EXPECT_TRUE(host.isVisible());
    host.toggle(QRect());
    EXPECT_FALSE(host.isVisible());
}

TEST_F(PanelHostTest, TheSecondHalfOfADoubleClickOnTheIconLeavesThePopupOpen) {
    const QRect icon(600, 2, 22, 22);
    host.toggle(icon);
    ASSERT_TRUE(host.isVisible());
    QWidget& popup = host.window();
    // The press of the second click lands on the icon, outside the popup.
    QTest::mousePress(&popup, Qt::LeftButton, {}, popup.mapFromGlobal(icon.center()));
    EXPECT_TRUE(host.isVisible());
    // Anywhere else it closes the popup, as a popup does.
    QTest::mousePress(&popup, Qt::LeftButton, {}, popup.mapFromGlobal(QPoint(20, 700)));
    EXPECT_FALSE(host.isVisible());
}

TEST_F(PanelHostTest, TheTitledWindowComesBackWhereTheUserLeftIt) {
    host.setMode(PanelHost::Mode::window);
    host.show();
    host.window().move(200, 150);
    host.toggle(QRect());
    ASSERT_FALSE(host.isVisible());
    host.toggle(QRect());
    ASSERT_TRUE(host.isVisible());
    EXPECT_EQ(host.window().pos(), QPoint(200, 150));
}

TEST(WindowHostTest, OpeningAgainBringsBackTheSameWindowAsTheUserLeftIt) {
    int built = 0;
    WindowHost history({QStringLiteral("History"), QSize(760, 540), QSize(720, 500)},
                       [&built](QWidget* parent) {
                           ++built;
                           return new QWidget(parent);
                       });
    EXPECT_EQ(history.window(), nullptr) << "made on first use";
    history.open();
    QWidget* window = history.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("History"));
    EXPECT_EQ(window->size(), QSize(760, 540));
    EXPECT_EQ(window->minimumSize(), QSize(720, 500));
    history.open();
    EXPECT_EQ(history.window(), window);

    window->resize(900, 700);
    window->close();
    EXPECT_FALSE(history.isOpen());
    history.open();
    EXPECT_TRUE(history.isOpen());
    EXPECT_EQ(history.window(), window);
    EXPECT_EQ(window->size(), QSize(900, 700));
    EXPECT_EQ(built, 1);
    window->resize(100, 100);
    EXPECT_EQ(window->size(), QSize(720, 500)) << "never smaller than its minimum";
}

TEST(WindowHostTest, EscapeAndCtrlWCloseTheWindowFromWhereverTheFocusIs) {
    QLineEdit* field = nullptr;
    WindowHost settings({QStringLiteral("Settings"), QSize(500, 480), QSize(500, 480)},
                        [&field](QWidget* parent) {
                            auto* content = new QWidget(parent);
                            field = new QLineEdit(content);
                            return content;
                        });
    for (const QKeyCombination key :
         {QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::ControlModifier, Qt::Key_W)}) {
        settings.open();
        ASSERT_TRUE(QTest::qWaitForWindowActive(settings.window()));
        field->setFocus();
        QTest::keyClick(field, key.key(), key.keyboardModifiers());
        EXPECT_FALSE(settings.isOpen()) << QKeySequence(key).toString().toStdString();
    }
}

class ShellTest : public testing::PanelFixture {};

TEST_F(ShellTest, WithoutATrayThePanelIsTheWindowAndTheWindowsOpenOnce) {
    ui::Shell shell(*state, updater);
    shell.start();
    // The offscreen platform has no tray of either kind.
    EXPECT_EQ(shell.panel().mode(), PanelHost::Mode::standalone);
    EXPECT_TRUE(shell.panel().isVisible());
    EXPECT_FALSE(shell.tray().isInstalled());
    EXPECT_TRUE(shell.trayHostWatcher().isWatching()) << "a tray may still come";

    shell.openHistory();
    shell.openHistory();
    shell.openSettings();
    EXPECT_EQ(shell.historyWindow().window()->windowTitle(), QStringLiteral("History"));
    EXPECT_NE(shell.historyWindow().window()->findChild<ui::HistoryWindowContent*>(), nullptr);
    EXPECT_EQ(shell.settingsWindow().window()->windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(shell.settingsWindow().window()->size(), QSize(500, 480));
    int topLevelHistories = 0;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
        topLevelHistories += widget->windowTitle() == QLatin1String("History") ? 1 : 0;
    }
    EXPECT_EQ(topLevelHistories, 1);
    EXPECT_TRUE(shell.panel().isVisible()) << "the trayless window stays with the others";
}

} // namespace
} // namespace kavro
