// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/shell/TrayStatus.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

// The tray item: the band icon of the day's dose with a tooltip, a left click that
// opens and closes the panel, and a context menu with everything the panel offers.
// GNOME's AppIndicator extension opens only the menu on a left click, so the menu
// must be complete on its own.
class TrayController : public QObject {
    Q_OBJECT
public:
    struct Actions {
        // The icon's place on screen; empty where the tray does not tell it.
        std::function<void(const QRect& iconGeometry)> togglePanel;
        std::function<void()> showPanel;
        std::function<void()> openHistory;
        std::function<void()> openSettings;
        std::function<void()> quit;
    };

    TrayController(core::AppState& state, Actions actions, QObject* parent = nullptr);
    ~TrayController() override;

    // Makes the icon and shows it; only once the desktop has a tray (see TrayHostWatcher).
    void install();
    bool isInstalled() const { return m_icon != nullptr; }

    // What the item shows now.
    QString symbolName() const { return m_symbolName; }
    QString toolTip() const;
    QMenu& menu() const { return *m_menu; }
    QSystemTrayIcon* icon() const { return m_icon.get(); }

    // The icon's reasons for a click, as the tray reports them.
    void handleActivation(QSystemTrayIcon::ActivationReason reason);

private:
    void refresh();
    void apply(const TrayStatus::Changes& changes);

    core::AppState& m_state;
    Actions m_actions;
    std::unique_ptr<QMenu> m_menu;
    QAction* m_sessionAction = nullptr;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    TrayStatus m_status;
    QString m_symbolName;
    // Sends a tooltip that had to wait for its minute.
    QTimer m_toolTipTimer;
    // A double click also sends a Trigger for its first click, and some hosts send one
    // for each click: clicks closer together than a double click count once.
    QElapsedTimer m_lastTrigger;
};

} // namespace kavro::ui
