#include "platform/file/DataFolderLock.h"

#include "platform/file/QtFileStore.h"

#include <QDir>
#include <QSysInfo>

namespace kavro::platform {

DataFolderLock::DataFolderLock(const QString& filePath) : m_filePath(filePath), m_file(filePath) {
    // Only a holder that is no longer running makes a lock stale. Where the file system
    // has no native locks (some network homes) QLockFile also judges by the file's age,
    // and its default of 30 s would hand the lock of a program that has simply run for a
    // while to a second writer.
    m_file.setStaleLockTime(0);
}

std::variant<std::unique_ptr<DataFolderLock>, DataFolderLock::Refusal>
DataFolderLock::acquire(const QString& folder) {
    if (auto error = QtFileStore().createFolder(folder, FileStore::Access::privateToUser)) {
        return Refusal{Unavailable{QStringLiteral("cannot create the folder: ") + *error}};
    }
    auto lock = std::unique_ptr<DataFolderLock>(new DataFolderLock(QDir(folder).filePath(kFileName)));
    if (lock->m_file.tryLock(0)) {
        return lock;
    }
    switch (lock->m_file.error()) {
    case QLockFile::LockFailedError: {
        HeldElsewhere held;
        held.lockFilePath = lock->m_filePath;
        QString application;
        lock->m_file.getLockInfo(&held.processId, &held.hostName, &application);
        return Refusal{held};
    }
    case QLockFile::PermissionError:
        return Refusal{Unavailable{QStringLiteral("no permission to write its lock file")}};
    case QLockFile::NoError:
    case QLockFile::UnknownError:
        break;
    }
    return Refusal{Unavailable{QStringLiteral("its lock file cannot be written")}};
}

QString DataFolderLock::describe(const Refusal& refusal, const QString& folder) {
    if (const auto* held = std::get_if<HeldElsewhere>(&refusal)) {
        QString holder = QStringLiteral("process %1").arg(held->processId);
        if (!held->hostName.isEmpty() && held->hostName != QSysInfo::machineHostName()) {
            holder += QStringLiteral(" on ") + held->hostName;
        }
        return QStringLiteral("Kavro is already running (%1) and keeps the history in %2; quit it first "
                              "(its lock: %3)")
            .arg(holder, folder, held->lockFilePath);
    }
    return QStringLiteral("cannot keep the history in %1: %2")
        .arg(folder, std::get<Unavailable>(refusal).description);
}

} // namespace kavro::platform
