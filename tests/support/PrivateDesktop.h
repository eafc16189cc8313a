// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A desktop of one test's own: a D-Bus session bus and an X server that no other test
// shares, with the tray hosts Debian ships started on request, so that bus names, tray
// items and windows seen here belong to this test alone. Everything started here is
// stopped when the object goes.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "support/WaitUntil.h"

#include <list>
#include <memory>

namespace kavro::testing {

class PrivateDesktop {
public:
    static inline const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
    static inline const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
    // How long a server or program on the desktop may take to come up, on a busy machine.
    static constexpr int kStartTimeoutMs = 20000;

    PrivateDesktop() = default;
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;
    ~PrivateDesktop() {
        // Last started, first stopped: the programs under test before their servers.
        for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
            stop(**it);
        }
        if (m_bus) {
            QDBusConnection::disconnectFromBus(m_busName);
        }
    }

    // What the desktop needs that may be missing on this machine; empty when all is there.
    static QString missingTools(const QStringList& extra = {}) {
        for (const QString& tool :
             QStringList{QStringLiteral("dbus-daemon"), QStringLiteral("Xvfb"), QStringLiteral("xdotool")} +
                 extra) {
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                return tool + QStringLiteral(" is not installed");
            }
        }
        return {};
    }

    // Starts the bus and the X server; false when either did not come up.
    bool start() {
        if (!m_home.isValid()) {
            return false;
        }
        QProcess& bus = launch(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")},
            QProcessEnvironment::systemEnvironment());
        m_busAddress = firstLine(bus);
        if (m_busAddress.isEmpty() || !startDisplay()) {
            return false;
        }
        m_busName = QStringLiteral("private-desktop-%1").arg(reinterpret_cast<quintptr>(this));
        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_busAddress, m_busName));
        return m_bus->isConnected();
    }

    // An X server on a display number no other test uses. Numbers are drawn from a range
    // of their own, not the lowest free one, so that a display just given up by an
    // earlier test (or another program) is not taken again while it goes away.
    bool startDisplay() {
        for (int attempt = 0; attempt < 20; ++attempt) {
            const int number = 200 + static_cast<int>(QRandomGenerator::global()->bounded(700));
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) {
                continue;
            }
            QProcess& server =
                launch(QStringLiteral("Xvfb"),
                       {u':' + QString::number(number), QStringLiteral("-noreset"),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1280x800x24")},
                       QProcessEnvironment::systemEnvironment());
            m_display = u':' + QString::number(number);
            // Ready once a client can connect; a server that ends was refused the display.
            // (Without -noreset the server resets whenever its last client leaves, and a
            // client connecting at that moment is turned away.)
            if (waitUntil([&] { return server.state() != QProcess::Running || acceptsClients(); },
                          kStartTimeoutMs) &&
                server.state() == QProcess::Running) {
                return true;
            }
        }
        return false;
    }
    bool acceptsClients() const {
        QProcess probe;
        probe.setProcessEnvironment(environment());
        probe.start(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")});
        return probe.waitForFinished(5000) && probe.exitStatus() == QProcess::NormalExit &&
               probe.exitCode() == 0;
    }

    // The environment of a program on this desktop, with its own empty home folders.
    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome());
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
        return environment;
    }
    QString dataHome() const { return m_home.filePath(QStringLiteral("data")); }
    QString configHome() const { return m_home.filePath(QStringLiteral("config")); }
    QDBusConnection& bus() { return *m_bus; }

    // A StatusNotifierWatcher without a host yet.
    bool startWatcher() {
        launch(QStringLiteral("status-notifier-watcher"), {}, environment());
        return waitUntil([this] { return isRegistered(kWatcherService); }, kStartTimeoutMs);
    }
    // Registers this test as a StatusNotifierItem host, as a desktop's panel does.
    bool registerHost() {
        const QString name =
            QStringLiteral("org.kde.StatusNotifierHost-%1").arg(QCoreApplication::applicationPid());
        if (!m_bus->interface()->registerService(name).isValid()) {
            return false;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherService,
                                                           QStringLiteral("RegisterStatusNotifierHost"));
        call << name;
        // The watcher owns its bus name a moment before it answers calls on its object,
        // so a call made right after the name appeared may be refused: ask again.
        return waitUntil([&] { return m_bus->call(call).type() == QDBusMessage::ReplyMessage; },
                         kStartTimeoutMs);
    }
    // The items registered with the watcher.
    QStringList registeredItems() {
        QDBusMessage get = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << kWatcherService << QStringLiteral("RegisteredStatusNotifierItems");
        const QDBusMessage reply = m_bus->call(get);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            return {};
        }
        return reply.arguments().front().value<QDBusVariant>().variant().toStringList();
    }
    // An XEmbed system tray, as older panels have.
    bool startXEmbedTray() {
        launch(QStringLiteral("trayer"),
               {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                QStringLiteral("--height"), QStringLiteral("24")},
               environment());
        return waitUntil(
            [this] {
                return !windows({QStringLiteral("--class"), QStringLiteral("trayer")}).isEmpty();
            },
            kStartTimeoutMs);
    }

    // X windows matching an xdotool search (for example --onlyvisible --name '^Kavro$').
    QStringList windows(const QStringList& search) const {
        QProcess xdotool;
        xdotool.setProcessEnvironment(environment());
        xdotool.start(QStringLiteral("xdotool"), QStringList{QStringLiteral("search")} + search);
        xdotool.waitForFinished(5000);
        return QString::fromUtf8(xdotool.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList visibleWindows(const QString& title) const {
        return windows({QStringLiteral("--onlyvisible"), QStringLiteral("--name"), u'^' + title + u'$'});
    }

    bool isRegistered(const QString& service) const {
        return m_bus && m_bus->interface()->isServiceRegistered(service).value();
    }

    // Each program started here: whether it runs and what it wrote, for failure messages.
    std::string report() const {
        QString text = QStringLiteral("display %1, bus %2\n").arg(m_display, m_busAddress);
        for (const auto& process : m_processes) {
            const QString state = process->state() == QProcess::NotRunning
                                      ? QStringLiteral("ended with %1").arg(process->exitCode())
                                      : QStringLiteral("running");
            text += QStringLiteral("%1: %2; %3\n")
                        .arg(process->program(), state,
                             QString::fromUtf8(process->readAllStandardError()).right(400));
        }
        return text.toStdString();
    }

    // Starts a program on this desktop; it is stopped with the desktop.
    QProcess& launch(const QString& program, const QStringList& arguments,
                     const QProcessEnvironment& environment) {
        auto& process = *m_processes.emplace_back(std::make_unique<QProcess>());
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        process.waitForStarted(5000);
        return process;
    }

    static void stop(QProcess& process) {
        if (process.state() == QProcess::NotRunning) {
            return;
        }
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

private:
    static QString firstLine(QProcess& process) {
        QDeadlineTimer deadline(10000);
        while (!process.canReadLine() && !deadline.hasExpired() && process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
        }
        return QString::fromUtf8(process.readLine()).trimmed();
    }

    QTemporaryDir m_home;
    std::list<std::unique_ptr<QProcess>> m_processes;
    QString m_busAddress;
    QString m_busName;
    QString m_display;
    std::unique_ptr<QDBusConnection> m_bus;
};

} // namespace kavro::testing
