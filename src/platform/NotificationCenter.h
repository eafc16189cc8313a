// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kavro::platform {

// A button on a notification. A destructive action is shown in the warning style where
// the desktop has one.
struct NotificationAction {
    QString identifier;
    QString title;
    bool destructive = false;
};

// A kind of notification and the buttons its notifications carry.
struct NotificationCategory {
    QString identifier;
    std::vector<NotificationAction> actions;
};

enum class NotificationSound { standard, critical };

// One notification to show now. A request whose identifier equals that of a
// notification still on screen replaces it.
struct NotificationRequest {
    QString identifier;
    QString title;
    std::optional<QString> subtitle;
    QString body;
    NotificationSound sound = NotificationSound::standard;
    QString categoryIdentifier;
    // Time-sensitive notifications break through quiet modes and stay until dismissed.
    bool timeSensitive = false;

    bool operator==(const NotificationRequest&) const = default;
};

// The user's answer to a notification: the action chosen, or the default identifier
// below when the notification itself was clicked.
struct NotificationResponse {
    QString requestIdentifier;
    QString actionIdentifier;
};

// The desktop's notification service.
class NotificationCenter {
public:
    using ResponseHandler = std::function<void(const NotificationResponse&)>;

    static inline const QString kDefaultActionIdentifier = QStringLiteral("default");

    virtual ~NotificationCenter() = default;

    // Asks the user for permission where the desktop requires it; the answer is not awaited.
    virtual void requestAuthorization() {}
    // Replaces the registered categories; requests name them by identifier.
    virtual void setCategories(const std::vector<NotificationCategory>& categories) = 0;
    // Shows a request. Failures (no server, no permission) drop it without a report.
    virtual void add(const NotificationRequest& request) = 0;
    // The handler is called on the main thread.
    virtual void setResponseHandler(ResponseHandler handler) = 0;
};

} // namespace kavro::platform
