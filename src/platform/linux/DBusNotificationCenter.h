// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/NotificationCenter.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>

#include <optional>

class QDBusPendingCallWatcher;

namespace kavro::platform {

// Desktop notifications through the freedesktop notification server on the session
// bus. The server numbers its notifications; this class maps request identifiers to
// those numbers so that a request replaces the notification of the same identifier,
// and maps the numbers back when the user presses an action button.
class DBusNotificationCenter final : public QObject, public NotificationCenter {
    Q_OBJECT
public:
    static inline const QString kServiceName = QStringLiteral("org.freedesktop.Notifications");

    explicit DBusNotificationCenter(QDBusConnection connection = QDBusConnection::sessionBus(),
                                    QString serviceName = kServiceName, QObject* parent = nullptr);
    ~DBusNotificationCenter() override;

    void setCategories(const std::vector<NotificationCategory>& categories) override;
    void add(const NotificationRequest& request) override;
    void setResponseHandler(ResponseHandler handler) override;

    // Requests sent whose answer from the server has not arrived yet.
    int pendingRequestCount() const;

signals:
    // Emitted after the server answered a request (with its number, or an error).
    void requestSettled(const QString& requestIdentifier);

private slots:
    void handleActionInvoked(uint serverId, const QString& actionKey);
    void handleNotificationClosed(uint serverId, uint reason);
    void forgetServer();

private:
    // What is known about one request identifier.
    struct Shown {
        uint serverId = 0;
        bool awaitingReply = false;
        // A request for the same identifier that arrived while the first was still on its
        // way; it is sent once the server's number is known, so that it replaces.
        std::optional<NotificationRequest> next;
    };

    void send(const NotificationRequest& request, uint replacesId);
    void settle(const QString& identifier, QDBusPendingCallWatcher* watcher);

    QDBusConnection m_connection;
    QString m_serviceName;
    QHash<QString, NotificationCategory> m_categories;
    QHash<QString, Shown> m_shown;
    QHash<uint, QString> m_identifiersByServerId;
    ResponseHandler m_responseHandler;
};

} // namespace kavro::platform
