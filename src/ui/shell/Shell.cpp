// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/Shell.h"

#include "ui/panel/PanelWidget.h"
#include "ui/shell/PanelHost.h"
#include "ui/shell/TrayController.h"
#include "ui/shell/WindowContents.h"
#include "ui/shell/WindowHost.h"

#include <QApplication>

namespace kavro::ui {

namespace {

bool onWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

Shell::Shell(core::AppState& state, platform::Updater& updater, QObject* parent)
    : QObject(parent), m_state(state) {
    m_panel = std::make_unique<PanelHost>([this, &updater](QWidget* parentWidget) {
        return new PanelWidget(
            m_state, updater,
            PanelActions{[this] { openSettings(); }, [this] { openHistory(); }, [this] { quit(); }},
            parentWidget);
    });
    connect(m_panel.get(), &PanelHost::closeRequested, this, &Shell::quit);

    m_tray = std::make_unique<TrayController>(
        m_state, TrayController::Actions{[this](const QRect& anchor) { m_panel->toggle(anchor); },
                                         [this] { showPanel(); }, [this] { openHistory(); },
                                         [this] { openSettings(); }, [this] { quit(); }});

    m_history = std::make_unique<WindowHost>(
        WindowHost::Description{QStringLiteral("History"), kHistoryFirstSize, kHistoryMinimumSize},
        [this](QWidget* parentWidget) { return historyWindowContent(m_state, parentWidget); });
    m_settings = std::make_unique<WindowHost>(
        WindowHost::Description{QStringLiteral("Settings"), kSettingsSize, kSettingsSize},
        [this](QWidget* parentWidget) { return settingsWindowContent(m_state, parentWidget); });

    m_trayHostWatcher = std::make_unique<TrayHostWatcher>();
    connect(m_trayHostWatcher.get(), &TrayHostWatcher::hostAppeared, this, [this] { useTray(); });
}

Shell::~Shell() = default;

void Shell::start() {
    // The program lives in the tray: closing its last window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    if (m_trayHostWatcher->check() != TrayHost::none) {
        useTray();
        return;
    }
    m_panel->setMode(PanelHost::Mode::standalone);
    m_panel->show();
    m_trayHostWatcher->watch();
}

void Shell::useTray() {
    m_trayHostWatcher->stop();
    m_tray->install();
    // The tray now opens the panel; the trayless window gives way to it.
    m_panel->hide();
    m_panel->setMode(onWayland() ? PanelHost::Mode::window : PanelHost::Mode::popup);
}

void Shell::showPanel() {
    m_panel->show();
}

void Shell::openHistory() {
    closePopup();
    m_history->open();
}

void Shell::openSettings() {
    closePopup();
    m_settings->open();
}

void Shell::closePopup() {
    // A popup holds the mouse and keyboard; the window opened from it must get them.
    if (m_panel->mode() == PanelHost::Mode::popup) {
        m_panel->hide();
    }
}

void Shell::quit() {
    QCoreApplication::quit();
}

} // namespace kavro::ui
