// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/DBusNotificationCenter.h"

#include "platform/ApplicationId.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace kavro::platform {

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kApplicationName = QStringLiteral("Kavro");

// Urgency levels of the freedesktop notification protocol.
constexpr uchar kUrgencyNormal = 1;
constexpr uchar kUrgencyCritical = 2;

// The freedesktop sound theme's name for an alarming event.
const QString kCriticalSoundName = QStringLiteral("dialog-warning");

} // namespace

DBusNotificationCenter::DBusNotificationCenter(QDBusConnection connection, QString serviceName,
                                               QObject* parent)
    : QObject(parent), m_connection(std::move(connection)), m_serviceName(std::move(serviceName)) {
    if (!m_connection.isConnected()) {
        return;
    }
    m_connection.connect(m_serviceName, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                         SLOT(handleActionInvoked(uint, QString)));
    m_connection.connect(m_serviceName, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                         SLOT(handleNotificationClosed(uint, uint)));
    // The numbers belong to one server: when it goes away or another one takes the
    // name, none of them refers to anything any more.
    auto* watcher =
        new QDBusServiceWatcher(m_serviceName, m_connection, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &DBusNotificationCenter::forgetServer);
}

DBusNotificationCenter::~DBusNotificationCenter() = default;

void DBusNotificationCenter::setCategories(const std::vector<NotificationCategory>& categories) {
    m_categories.clear();
    for (const auto& category : categories) {
        m_categories.insert(category.identifier, category);
    }
}

void DBusNotificationCenter::setResponseHandler(ResponseHandler handler) {
    m_responseHandler = std::move(handler);
}

int DBusNotificationCenter::pendingRequestCount() const {
    int count = 0;
    for (const auto& shown : m_shown) {
        count += shown.awaitingReply ? 1 : 0;
    }
    return count;
}

void DBusNotificationCenter::add(const NotificationRequest& request) {
    if (!m_connection.isConnected()) {
        return;
    }
    Shown& shown = m_shown[request.identifier];
    if (shown.awaitingReply) {
        shown.next = request;
        return;
    }
    send(request, shown.serverId);
}

void DBusNotificationCenter::send(const NotificationRequest& request, uint replacesId) {
    QStringList actions;
    if (const auto category = m_categories.constFind(request.categoryIdentifier);
        category != m_categories.constEnd()) {
        // The protocol has no destructive style; such an action is an ordinary button.
        for (const auto& action : category->actions) {
            actions << action.identifier << action.title;
        }
    }

    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue<uchar>(request.timeSensitive ? kUrgencyCritical : kUrgencyNormal));
    if (request.sound == NotificationSound::critical) {
        hints.insert(QStringLiteral("sound-name"), kCriticalSoundName);
    }
    if (!request.categoryIdentifier.isEmpty()) {
        hints.insert(QStringLiteral("category"), request.categoryIdentifier);
    }
    // Lets the server show the installed application's name and icon.
    hints.insert(QStringLiteral("desktop-entry"), applicationId());

    // The protocol has no subtitle: it becomes the first line of the body.
    const QString body =
        request.subtitle ? *request.subtitle + QLatin1Char('\n') + request.body : request.body;

    QDBusMessage message =
        QDBusMessage::createMethodCall(m_serviceName, kPath, kInterface, QStringLiteral("Notify"));
    message << kApplicationName << replacesId << applicationId() << request.title << body << actions << hints
            << qint32(-1);

    m_shown[request.identifier].awaitingReply = true;
    auto* watcher = new QDBusPendingCallWatcher(m_connection.asyncCall(message), this);
    const QString identifier = request.identifier;
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, identifier](QDBusPendingCallWatcher* finished) { settle(identifier, finished); });
}

void DBusNotificationCenter::settle(const QString& identifier, QDBusPendingCallWatcher* watcher) {
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    auto shown = m_shown.find(identifier);
    if (shown == m_shown.end()) {
        // The server went away meanwhile and everything was forgotten.
        emit requestSettled(identifier);
        return;
    }
    shown->awaitingReply = false;
    if (reply.isError()) {
        // No server, or it refused: the request is dropped without a report.
        shown->serverId = 0;
    } else {
        const uint serverId = reply.value();
        if (shown->serverId != 0 && shown->serverId != serverId) {
            m_identifiersByServerId.remove(shown->serverId);
        }
        shown->serverId = serverId;
        m_identifiersByServerId.insert(serverId, identifier);
    }

    if (shown->next) {
        const NotificationRequest next = *std::exchange(shown->next, std::nullopt);
        send(next, shown->serverId);
    } else if (shown->serverId == 0) {
        m_shown.erase(shown);
    }
    emit requestSettled(identifier);
}

void DBusNotificationCenter::handleActionInvoked(uint serverId, const QString& actionKey) {
    const auto identifier = m_identifiersByServerId.constFind(serverId);
    // Other programs' notifications are announced on the same signal.
    if (identifier == m_identifiersByServerId.constEnd() || !m_responseHandler) {
        return;
    }
    m_responseHandler(NotificationResponse{*identifier, actionKey});
}

void DBusNotificationCenter::handleNotificationClosed(uint serverId, uint /*reason*/) {
    const auto identifier = m_identifiersByServerId.find(serverId);
    if (identifier == m_identifiersByServerId.end()) {
        return;
    }
    // A closed notification can no longer be replaced: the next request of its
    // identifier must make a new one.
    const auto shown = m_shown.find(*identifier);
    if (shown != m_shown.end() && shown->serverId == serverId) {
        if (shown->awaitingReply) {
            shown->serverId = 0;
        } else {
            m_shown.erase(shown);
        }
    }
    m_identifiersByServerId.erase(identifier);
}

void DBusNotificationCenter::forgetServer() {
    m_identifiersByServerId.clear();
    for (auto shown = m_shown.begin(); shown != m_shown.end();) {
        if (shown->awaitingReply) {
            shown->serverId = 0;
            ++shown;
        } else {
            shown = m_shown.erase(shown);
        }
    }
}

} // namespace kavro::platform
