// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file/DataFolderLock.h"

#include "platform/file/QtFileStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <climits>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavro::platform {

namespace {

// How often the lock is tried again when its file is swapped while it is taken (a
// holder that ends removes it).
constexpr int kAttempts = 10;

QString systemError(int errorNumber) {
    return QString::fromStdString(std::system_category().message(errorNumber));
}

bool sameFile(const struct stat& one, const struct stat& other) {
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// What stands at the lock's path instead of a file, in words.
QString whatIsThere(const QByteArray& path, mode_t mode) {
    if (S_ISLNK(mode)) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.constData(), target, sizeof target);
        const QString to = length < 0 ? QString() : QFile::decodeName(QByteArray(target, length));
        struct stat status {};
        const bool dangling = ::stat(path.constData(), &status) != 0;
        return QStringLiteral("a symbolic link to %1%2")
            .arg(to, dangling ? QStringLiteral(" (which does not exist)") : QString());
    }
    if (S_ISDIR(mode)) {
        return QStringLiteral("a folder");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a named pipe");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    return QStringLiteral("a device");
}

// The holder's lines as the lock file keeps them: process id, program, host.
DataFolderLock::HeldElsewhere holderOf(int descriptor, const QString& filePath) {
    DataFolderLock::HeldElsewhere held;
    held.lockFilePath = filePath;
    char text[1024];
    const ssize_t length = ::pread(descriptor, text, sizeof text, 0);
    const QList<QByteArray> lines = QByteArray(text, std::max<ssize_t>(length, 0)).split('\n');
    held.processId = lines.value(0).toLongLong();
    held.hostName = QString::fromUtf8(lines.value(2));
    return held;
}

void writeHolder(int descriptor) {
    const QByteArray lines = QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                             QCoreApplication::applicationName().toUtf8() + '\n' +
                             QSysInfo::machineHostName().toUtf8() + '\n';
    // Only for the message another program shows; the lock itself is the flock.
    // A short or failed write only leaves the message vaguer, so its count is not acted on.
    if (::ftruncate(descriptor, 0) == 0 &&
        ::pwrite(descriptor, lines.constData(), static_cast<size_t>(lines.size()), 0) < 0) {
        return;
    }
}

QString holderText(const DataFolderLock::HeldElsewhere& held) {
    QString holder = QStringLiteral("process %1").arg(held.processId);
    if (!held.hostName.isEmpty() && held.hostName != QSysInfo::machineHostName()) {
        holder += QStringLiteral(" on ") + held.hostName;
    }
    return holder;
}

} // namespace

DataFolderLock::DataFolderLock(QString folder, QString filePath, int descriptor)
    : m_folder(std::move(folder)), m_filePath(std::move(filePath)), m_descriptor(descriptor) {}

DataFolderLock::~DataFolderLock() {
    struct stat mine {};
    struct stat there {};
    // Another program's lock file at the same path is left alone.
    const QByteArray path = QFile::encodeName(m_filePath);
    if (::fstat(m_descriptor, &mine) == 0 && ::lstat(path.constData(), &there) == 0 &&
        sameFile(mine, there)) {
        ::unlink(path.constData());
    }
    ::close(m_descriptor);
}

std::variant<std::unique_ptr<DataFolderLock>, DataFolderLock::Refusal>
DataFolderLock::acquire(const QString& folder) {
    const QString filePath = folder + QLatin1Char('/') + kFileName;
    auto locked = lockFile(folder, filePath);
    if (auto* refusal = std::get_if<Refusal>(&locked)) {
        return std::move(*refusal);
    }
    return std::unique_ptr<DataFolderLock>(new DataFolderLock(folder, filePath, std::get<int>(locked)));
}

std::variant<int, DataFolderLock::Refusal> DataFolderLock::lockFile(const QString& folder,
                                                                    const QString& filePath) {
    if (auto error = QtFileStore().createFolder(folder, FileStore::Access::privateToUser)) {
        return Refusal{Unavailable{QStringLiteral("cannot create the folder: ") + *error}};
    }
    const QByteArray path = QFile::encodeName(filePath);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        struct stat there {};
        if (::lstat(path.constData(), &there) == 0 && !S_ISREG(there.st_mode)) {
            // Opening a pipe would wait for a writer for ever; a link could lead anywhere.
            return Refusal{Unavailable{QStringLiteral("its lock file %1 is %2, not a file; remove it")
                                           .arg(filePath, whatIsThere(path, there.st_mode))}};
        }
        // Neither following a link nor waiting: what was checked above may have changed.
        const int descriptor =
            ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            const int error = errno;
            if (error == EACCES || error == EPERM) {
                return Refusal{Unavailable{QStringLiteral("no permission to write its lock file")}};
            }
            if (error == ELOOP || error == EISDIR || error == ENXIO) {
                continue;
            }
            return Refusal{
                Unavailable{QStringLiteral("its lock file cannot be written: ") + systemError(error)}};
        }
        struct stat mine {};
        if (::fstat(descriptor, &mine) != 0 || !S_ISREG(mine.st_mode)) {
            ::close(descriptor);
            continue;
        }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            Refusal refusal = error == EWOULDBLOCK
                                  ? Refusal{holderOf(descriptor, filePath)}
                                  : Refusal{Unavailable{QStringLiteral("its lock file cannot be locked: ") +
                                                        systemError(error)}};
            ::close(descriptor);
            return refusal;
        }
        // The holder before may have removed the file between its opening and its locking
        // here: a lock on a file that is no longer in the folder locks nothing.
        if (::lstat(path.constData(), &there) != 0 || !sameFile(there, mine)) {
            ::close(descriptor);
            continue;
        }
        // Like every file of the folder, the user's alone (earlier versions left it 0644).
        if ((mine.st_mode & 07777) != 0600) {
            (void)::fchmod(descriptor, 0600);
        }
        writeHolder(descriptor);
        return descriptor;
    }
    return Refusal{Unavailable{QStringLiteral("its lock file %1 keeps changing").arg(filePath)}};
}

std::variant<WriterLock::Standing, QString> DataFolderLock::confirm() {
    const QByteArray path = QFile::encodeName(m_filePath);
    struct stat mine {};
    struct stat there {};
    const int lookError = ::lstat(path.constData(), &there) == 0 ? 0 : errno;
    if (lookError == 0 && ::fstat(m_descriptor, &mine) == 0 && sameFile(mine, there)) {
        return Standing::held;
    }
    if (lookError != 0 && lookError != ENOENT && lookError != ENOTDIR) {
        return QStringLiteral("cannot check the lock file %1: %2").arg(m_filePath, systemError(lookError));
    }
    auto locked = lockFile(m_folder, m_filePath);
    if (const auto* descriptor = std::get_if<int>(&locked)) {
        ::close(m_descriptor);
        m_descriptor = *descriptor;
        return Standing::retaken;
    }
    const auto& refusal = std::get<Refusal>(locked);
    if (const auto* held = std::get_if<HeldElsewhere>(&refusal)) {
        return QStringLiteral("the lock of %1 was removed while this program ran, and Kavro (%2) has kept "
                              "the history there since")
            .arg(m_folder, holderText(*held));
    }
    return describe(refusal, m_folder);
}

QString DataFolderLock::describe(const Refusal& refusal, const QString& folder) {
    if (const auto* held = std::get_if<HeldElsewhere>(&refusal)) {
        return QStringLiteral("Kavro is already running (%1) and keeps the history in %2; quit it first "
                              "(its lock: %3)")
            .arg(holderText(*held), folder, held->lockFilePath);
    }
    return QStringLiteral("cannot keep the history in %1: %2")
        .arg(folder, std::get<Unavailable>(refusal).description);
}

} // namespace kavro::platform
