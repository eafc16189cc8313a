// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/TrayHostWatcher.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace kavro::ui {

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
// A watcher that does not answer this quickly is as good as absent; the check runs
// on the main thread.
constexpr int kWatcherTimeoutMs = 500;

} // namespace

TrayHostWatcher::TrayHostWatcher(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    connect(&m_poll, &QTimer::timeout, this, &TrayHostWatcher::recheck);
}

TrayHost TrayHostWatcher::check() const {
    if (hasStatusNotifierHost()) {
        return TrayHost::statusNotifier;
    }
    if (hasXEmbedTray()) {
        return TrayHost::xembed;
    }
    return TrayHost::none;
}

bool TrayHostWatcher::hasStatusNotifierHost() const {
    if (!m_bus.isConnected() || !m_bus.interface() ||
        !m_bus.interface()->isServiceRegistered(kWatcherService).value()) {
        return false;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = m_bus.call(get, QDBus::Block, kWatcherTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return false;
    }
    return reply.arguments().front().value<QDBusVariant>().variant().toBool();
}

bool TrayHostWatcher::hasXEmbedTray() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection()) {
        return false;
    }
    xcb_connection_t* connection = x11->connection();
    // The tray of the first screen owns this selection while it runs.
    const QByteArray name = QByteArrayLiteral("_NET_SYSTEM_TRAY_S0");
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData()),
            nullptr),
        &std::free);
    if (!atom) {
        return false;
    }
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return owner && owner->owner != XCB_NONE;
}

void TrayHostWatcher::watch() {
    if (!m_subscribed && m_bus.isConnected()) {
        // A watcher coming up, and a host registering with it, are told at once; the
        // timer covers the XEmbed trays, which the bus knows nothing of.
        auto* services =
            new QDBusServiceWatcher(kWatcherService, m_bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(services, &QDBusServiceWatcher::serviceRegistered, this, &TrayHostWatcher::recheck);
        m_bus.connect(kWatcherService, kWatcherPath, kWatcherService,
                      QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(recheck()));
        m_subscribed = true;
    }
    m_watching.start();
    m_poll.start(kCloseWatchInterval);
}

void TrayHostWatcher::stop() {
    m_poll.stop();
}

void TrayHostWatcher::recheck() {
    if (!m_poll.isActive()) {
        return;
    }
    const TrayHost host = check();
    if (host != TrayHost::none) {
        stop();
        emit hostAppeared(host);
        return;
    }
    if (std::chrono::milliseconds(m_watching.elapsed()) > kCloseWatch &&
        m_poll.intervalAsDuration() != kLightWatchInterval) {
        m_poll.setInterval(kLightWatchInterval);
    }
}

} // namespace kavro::ui
