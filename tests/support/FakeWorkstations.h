// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Real processes named like watched workstations: copies of a harmless program
// (sleep) under a workstation's executable name, in a temporary folder.

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace kavro::testing {

class FakeWorkstations {
public:
    static inline const QString kProgram = QStringLiteral("/bin/sleep");

    // Every process on the machine is seen: tests that start workstation-named
    // processes must not run at the same time, so they share this lock.
    static QString lockPath() {
        return QDir::temp().filePath(QStringLiteral("kavro-workstation-process-tests.lock"));
    }

    FakeWorkstations() { m_lock.setStaleLockTime(0); }
    ~FakeWorkstations() {
        for (auto& process : m_processes) {
            stop(*process);
        }
    }

    static bool available() { return QFile::exists(kProgram); }
    bool lock() { return m_folder.isValid() && m_lock.lock(); }
    const QTemporaryDir& folder() const { return m_folder; }

    // Starts a copy of the harmless program under this executable name; it runs ten minutes.
    QProcess& startAs(const QString& executableName) {
        const QString path = m_folder.filePath(executableName);
        if (!QFile::exists(path)) {
            QFile::copy(kProgram, path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        auto process = std::make_unique<QProcess>();
        process->start(path, {QStringLiteral("600")});
        process->waitForStarted(5000);
        m_processes.push_back(std::move(process));
        return *m_processes.back();
    }

    // Keeps a process started some other way, to be killed at the end.
    void adopt(std::unique_ptr<QProcess> process) { m_processes.push_back(std::move(process)); }

    static void stop(QProcess& process) {
        process.kill();
        process.waitForFinished(5000);
    }

private:
    QLockFile m_lock{lockPath()};
    QTemporaryDir m_folder;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

} // namespace kavro::testing
