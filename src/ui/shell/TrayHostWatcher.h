// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>

namespace kavro::ui {

// The kinds of tray a desktop may offer.
enum class TrayHost {
    none,
    statusNotifier, // a StatusNotifierItem host (KDE, GNOME's AppIndicator extension, XFCE, ...)
    xembed,         // an X11 system tray that embeds icon windows
};

// Finds out whether the desktop has a tray before the icon is made. Qt chooses between
// StatusNotifierItem and XEmbed once per process, the first time an icon is made (or
// its availability asked), and an icon made before the desktop's tray host has
// registered never shows. So the session bus is asked first, the X11 tray selection is
// read directly, and Qt is not asked at all until a host is known to be there. At
// login the program may start before the desktop's panel: watching goes on (closely
// for the first minutes, then lightly) until a tray turns up.
class TrayHostWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::minutes kCloseWatch{2};
    static constexpr std::chrono::milliseconds kCloseWatchInterval{1000};
    static constexpr std::chrono::milliseconds kLightWatchInterval{10000};

    explicit TrayHostWatcher(QDBusConnection bus = QDBusConnection::sessionBus(), QObject* parent = nullptr);

    // The tray available now; a StatusNotifierItem host is preferred.
    TrayHost check() const;
    // Watches until a tray appears, then reports it once and stops.
    void watch();
    void stop();
    bool isWatching() const { return m_poll.isActive(); }

signals:
    void hostAppeared(kavro::ui::TrayHost host);

private slots:
    void recheck();

private:
    bool hasStatusNotifierHost() const;
    static bool hasXEmbedTray();

    QDBusConnection m_bus;
    QTimer m_poll;
    QElapsedTimer m_watching;
    bool m_subscribed = false;
};

} // namespace kavro::ui
