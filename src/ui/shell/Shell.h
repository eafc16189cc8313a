// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/shell/TrayHostWatcher.h"

#include <QObject>
#include <QSize>

#include <memory>

namespace kavro::core {
class AppState;
}
namespace kavro::platform {
class Updater;
}

namespace kavro::ui {

class PanelHost;
class TrayController;
class WindowHost;

// The desktop program around the application state: the tray item, the panel, and the
// History and Settings windows. Without a tray the panel is an ordinary window and
// closing it quits; a tray that turns up later takes over. Quitting (menu, panel,
// closing the trayless window) goes through the application's event loop, whose end
// the application state uses to end and save a running session.
class Shell : public QObject {
    Q_OBJECT
public:
    // Tall enough that a day's sessions read at once below the chart.
    static constexpr QSize kHistoryFirstSize{760, 700};
    static constexpr QSize kHistoryMinimumSize{720, 500};
    static constexpr QSize kSettingsSize{500, 480};

    // The state and the updater must outlive the shell.
    Shell(core::AppState& state, platform::Updater& updater, QObject* parent = nullptr);
    ~Shell() override;

    // Shows the tray item when the desktop has a tray, else the panel's window, and
    // watches for a tray from then on.
    void start();
    // Another start of the program asked this one to show itself.
    void showPanel();
    void openHistory();
    void openSettings();
    void quit();

    PanelHost& panel() const { return *m_panel; }
    TrayController& tray() const { return *m_tray; }
    WindowHost& historyWindow() const { return *m_history; }
    WindowHost& settingsWindow() const { return *m_settings; }
    TrayHostWatcher& trayHostWatcher() const { return *m_trayHostWatcher; }

private:
    void useTray();
    void closePopup();

    core::AppState& m_state;
    std::unique_ptr<PanelHost> m_panel;
    std::unique_ptr<TrayController> m_tray;
    std::unique_ptr<WindowHost> m_history;
    std::unique_ptr<WindowHost> m_settings;
    std::unique_ptr<TrayHostWatcher> m_trayHostWatcher;
};

} // namespace kavro::ui
