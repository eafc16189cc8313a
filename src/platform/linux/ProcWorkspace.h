// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Workspace.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kavro::platform {

// The user's running applications, found by scanning /proc about once a second.
//
// Each process is named by an application id: its Flatpak id (from its cgroup or its
// /.flatpak-info), else its executable name, either one mapped through the alias table
// so that, for example, "bitwig-studio" and "com.bitwig.BitwigStudio" both read as the
// same id. All processes of one id form one application: it is launched when its first
// process appears and quits when its last one is gone, so helper processes of a
// workstation (engines, plug-in scanners) neither start nor end it on their own.
class ProcWorkspace final : public QObject, public Workspace {
    Q_OBJECT
public:
    using AliasTable = QHash<QString, QString>;

    static constexpr std::chrono::milliseconds kScanInterval{1000};

    // Scans once at once (reporting nothing), then every interval while the event loop
    // runs; a zero interval scans only when asked.
    explicit ProcWorkspace(AliasTable aliases, const QString& procRoot = QStringLiteral("/proc"),
                           std::chrono::milliseconds interval = kScanInterval, QObject* parent = nullptr);

    std::vector<RunningApplication> runningApplications() const override;

    // One pass: reports the applications launched, then those that quit, since the last.
    void scan();

    // Processes listed by the last scan, the user's and everyone else's.
    std::size_t listedProcessCount() const { return m_listed.size(); }

    // The application id of a process, or empty when it is not one of the user's
    // programs (another user's process, a kernel thread, or gone).
    QString resolveApplicationId(pid_t pid) const;

private:
    struct Process {
        QString applicationId; // empty: not counted
        QByteArray executablePath;
        std::uint32_t lastSeenScan = 0;
        std::uint8_t sightings = 0;
    };
    struct Naming {
        QString applicationId;
        QByteArray executablePath;
    };
    struct Application {
        int processes = 0;
        qint64 firstProcessId = 0;
    };

    void listProcessIds();
    Naming name(pid_t pid) const;
    QString alias(const QString& name) const;
    QString flatpakId(const QByteArray& folder) const;
    QByteArray executablePath(const QByteArray& folder) const;
    void addProcess(const QString& applicationId, pid_t pid, std::vector<RunningApplication>& launched);
    void removeProcess(const QString& applicationId, std::vector<RunningApplication>& quit);

    AliasTable m_aliases;
    QByteArray m_procRoot;
    uid_t m_userId;
    QTimer m_timer;
    std::uint32_t m_scanNumber = 0;
    std::vector<pid_t> m_listed;
    std::unordered_map<pid_t, Process> m_processes;
    QHash<QString, Application> m_applications;
};

} // namespace kavro::platform
