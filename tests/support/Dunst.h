// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The test notification server (dunst on the session bus that scripts/with-test-servers
// starts), driven and read back with dunstctl.

#include "support/WaitUntil.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>

#include <memory>
#include <optional>
#include <vector>

namespace kavro::testing {

struct ShownNotification {
    QString summary;
    QString body;
    QString category;
    qint64 timeout = -1; // 0 for critical urgency with dunst's default settings
};

inline QString dunstctl(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("dunstctl"), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

inline int displayedCount() {
    return dunstctl({QStringLiteral("count"), QStringLiteral("displayed")}).toInt();
}

// The history, newest first. dunst moves notifications there when they close.
inline std::vector<ShownNotification> closeAllAndReadHistory() {
    dunstctl({QStringLiteral("close-all")});
    const QJsonObject root = QJsonDocument::fromJson(dunstctl({QStringLiteral("history")}).toUtf8()).object();
    std::vector<ShownNotification> shown;
    for (const auto& entry : root.value("data").toArray().at(0).toArray()) {
        const QJsonObject fields = entry.toObject();
        const auto field = [&](const char* name) { return fields.value(name).toObject().value("data"); };
        shown.push_back({field("summary").toString(), field("body").toString(), field("category").toString(),
                         static_cast<qint64>(field("timeout").toDouble())});
    }
    return shown;
}

inline std::optional<ShownNotification> newest(const std::vector<ShownNotification>& history,
                                               const QString& summary) {
    for (const auto& notification : history) {
        if (notification.summary == summary) {
            return notification;
        }
    }
    return std::nullopt;
}

// Finds the test dunst, takes its lock (tests of this program run in parallel
// processes and the server's screen is shared), and clears its screen and its menu
// choice. Returns why the test server cannot be used, or nothing; a lock that could
// not be taken leaves `lock` empty.
inline QString claimTestDunst(const QString& notificationService, QDir& folder,
                              std::unique_ptr<QLockFile>& lock) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(notificationService)) {
        return QStringLiteral("no notification server on the session bus");
    }
    if (QStandardPaths::findExecutable(QStringLiteral("dunstctl")).isEmpty() ||
        qEnvironmentVariableIsEmpty("KAVRO_TEST_DUNST_DIR")) {
        return QStringLiteral("the notification server is not the test dunst");
    }
    folder = QDir(qEnvironmentVariable("KAVRO_TEST_DUNST_DIR"));
    lock = std::make_unique<QLockFile>(folder.filePath(QStringLiteral("notification-tests.lock")));
    lock->setStaleLockTime(0);
    if (!lock->lock()) {
        lock.reset();
        return {};
    }
    QFile::remove(folder.filePath(QStringLiteral("dunst-menu-choice")));
    dunstctl({QStringLiteral("close-all")});
    (void)waitUntil([] { return displayedCount() == 0; });
    return {};
}

// Makes the next `dunstctl context` press the button whose menu line contains `text`.
inline bool chooseFromDunstMenu(const QDir& folder, const QByteArray& text) {
    QFile choice(folder.filePath(QStringLiteral("dunst-menu-choice")));
    if (!choice.open(QIODevice::WriteOnly)) {
        return false;
    }
    choice.write(text);
    return true;
}

} // namespace kavro::testing
