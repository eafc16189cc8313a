// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WriterLock.h"

#include <QString>

#include <memory>
#include <variant>

namespace kavro::platform {

// Held by the one program that writes the history of a data folder (the tray program or
// `kavro --headless`), so that two writers never overwrite each other's sessions.
// Programs that only read the history take no lock.
//
// The lock is an advisory lock (flock) on the file kavro.lock in the folder, which
// holds the holder's process id, program name and host name, one a line. The system
// lets go of it when the holder ends, however it ends, so a lock file left behind by a
// process that is no longer running is simply taken over. Released (and the file
// removed, if it is still the one locked) when the object goes away.
class DataFolderLock final : public WriterLock {
public:
    static inline const QString kFileName = QStringLiteral("kavro.lock");

    // Another running process holds the lock.
    struct HeldElsewhere {
        qint64 processId = 0;
        QString hostName;
        QString lockFilePath;
    };
    // The lock cannot be taken: the folder is missing and cannot be created, there is no
    // permission, or something other than a file of its own is at the lock's path.
    struct Unavailable {
        QString description;
    };
    using Refusal = std::variant<HeldElsewhere, Unavailable>;

    // Creates the folder when it is missing and takes its lock without waiting.
    static std::variant<std::unique_ptr<DataFolderLock>, Refusal> acquire(const QString& folder);

    // The line a program prints when it cannot take the lock.
    static QString describe(const Refusal& refusal, const QString& folder);

    ~DataFolderLock() override;
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    const QString& filePath() const { return m_filePath; }

    // Held while the folder's lock file is still the one this object locked. When it is
    // gone (the folder removed and perhaps made anew), the lock is taken again if no
    // other program has it.
    std::variant<Standing, QString> confirm() override;

private:
    DataFolderLock(QString folder, QString filePath, int descriptor);

    static std::variant<int, Refusal> lockFile(const QString& folder, const QString& filePath);

    QString m_folder;
    QString m_filePath;
    int m_descriptor;
};

} // namespace kavro::platform
