// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file/QtFileStore.h"

#include "platform/file/OwnerOnly.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>

namespace kavro::platform {

namespace {

QString systemError(int errorNumber) {
    return QString::fromStdString(std::system_category().message(errorNumber));
}

QByteArray nativePath(const QString& path) {
    return QFile::encodeName(path);
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        return QByteArrayLiteral(".");
    }
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QString megabytes(qint64 bytes) {
    return QString::number((bytes + 1024 * 1024 - 1) / (1024 * 1024));
}

// The descriptor a path names when it is one of this process's own open files
// ("/dev/stdout" → "/proc/self/fd/1"): writing through it keeps the order of what the
// program writes there, where opening the path anew would start at the beginning of a
// redirected file or replace it.
std::optional<int> ownDescriptorNamedBy(QByteArray path) {
    const QByteArray ownProcess = "/proc/" + QByteArray::number(getpid()) + "/fd/";
    for (int hop = 0; hop < 16; ++hop) {
        for (const QByteArray& prefix : {QByteArray("/proc/self/fd/"), QByteArray("/dev/fd/"), ownProcess}) {
            if (path.startsWith(prefix)) {
                bool ok = false;
                const int descriptor = path.mid(prefix.size()).toInt(&ok);
                return ok ? std::optional(descriptor) : std::nullopt;
            }
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.constData(), target, sizeof target);
        if (length < 0) {
            return std::nullopt;
        }
        QByteArray next(target, length);
        path = next.startsWith('/') ? next : folderOf(path) + '/' + next;
    }
    return std::nullopt;
}

} // namespace

FileStore::ReadResult QtFileStore::readFile(const QString& path) const {
    // Not blocking: opening a pipe for reading would otherwise wait for a writer.
    const int descriptor =
        m_calls.open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0);
    if (descriptor < 0) {
        const int error = errno;
        return error == ENOENT ? ReadResult(Missing{}) : ReadResult(systemError(error));
    }
    struct CloseOnExit {
        FileSystemCalls& calls;
        int descriptor;
        ~CloseOnExit() { calls.close(descriptor); }
    } closer{m_calls, descriptor};

    struct stat status {};
    if (::fstat(descriptor, &status) != 0) {
        return systemError(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return systemError(EISDIR);
    }
    if (!S_ISREG(status.st_mode)) {
        return QStringLiteral("not a regular file (a device, pipe or socket)");
    }
    const auto tooLarge = [](qint64 bytes) {
        return QStringLiteral("the file is %1 MB, more than the %2 MB a file read here may have")
            .arg(megabytes(bytes), megabytes(kMaximumReadBytes));
    };
    if (status.st_size > kMaximumReadBytes) {
        return tooLarge(status.st_size);
    }
    // The size is only a hint: the file may grow while it is read, so the limit is
    // checked again on what arrives.
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(status.st_size));
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t count = m_calls.read(descriptor, chunk, sizeof chunk);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return systemError(errno);
        }
        if (count == 0) {
            break;
        }
        if (bytes.size() + count > kMaximumReadBytes) {
            return tooLarge(bytes.size() + count);
        }
        bytes.append(chunk, count);
    }
    return bytes;
}

std::optional<QString> QtFileStore::writeFile(const QString& path, const QByteArray& bytes, Access access) {
    const QByteArray native = nativePath(path);
    if (const auto descriptor = ownDescriptorNamedBy(native)) {
        if (const int error = writeAll(*descriptor, bytes)) {
            return systemError(error);
        }
        return std::nullopt;
    }
    struct stat status {};
    if (::stat(native.constData(), &status) != 0) {
        if (errno != ENOENT) {
            return systemError(errno);
        }
        return replaceRegularFile(native, bytes, access, std::nullopt);
    }
    if (S_ISDIR(status.st_mode)) {
        return systemError(EISDIR);
    }
    if (!S_ISREG(status.st_mode)) {
        return writeToSpecialFile(native, bytes);
    }
    // Through a symbolic link the file it points to is replaced; the link stays.
    char resolved[PATH_MAX];
    if (::realpath(native.constData(), resolved) == nullptr) {
        return systemError(errno);
    }
    return replaceRegularFile(QByteArray(resolved), bytes, access, status.st_mode & 07777);
}

std::optional<QString> QtFileStore::replaceRegularFile(const QByteArray& target, const QByteArray& bytes,
                                                       Access access, std::optional<mode_t> replacedMode) {
    const QByteArray folder = folderOf(target);
    const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    // A private file is created private, never briefly readable by others; the user's
    // own files get what the umask allows, or the mode of the file they replace.
    const mode_t createMode = access == Access::privateToUser ? 0600 : 0666;
    QByteArray temporary;
    int descriptor = -1;
    for (int attempt = 0; descriptor < 0; ++attempt) {
        temporary = folder + "/." + name + '.' +
                    QByteArray::number(QRandomGenerator::global()->generate(), 36) + ".tmp";
        descriptor = m_calls.open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
        if (descriptor < 0 && (errno != EEXIST || attempt == 99)) {
            return systemError(errno);
        }
    }
    const auto fail = [&](int error, bool open) {
        if (open) {
            m_calls.close(descriptor);
        }
        ::unlink(temporary.constData());
        return systemError(error);
    };
    if (access == Access::userDefault && replacedMode && ::fchmod(descriptor, *replacedMode) != 0) {
        return fail(errno, true);
    }
    if (const int error = writeAll(descriptor, bytes)) {
        return fail(error, true);
    }
    if (m_calls.fsync(descriptor) != 0) {
        return fail(errno, true);
    }
    // Some file systems report a failed write only when the file is closed.
    if (m_calls.close(descriptor) != 0) {
        return fail(errno, false);
    }
    if (m_calls.rename(temporary.constData(), target.constData()) != 0) {
        return fail(errno, false);
    }
    // Until the folder is on the disk, a power cut may bring back the old name's file.
    return syncFolder(folder);
}

std::optional<QString> QtFileStore::writeToSpecialFile(const QByteArray& path, const QByteArray& bytes) {
    // Not blocking on open: a pipe without a reader is an error here, not a hang.
    const int descriptor =
        m_calls.open(path.constData(), O_WRONLY | O_APPEND | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0);
    if (descriptor < 0) {
        return systemError(errno);
    }
    const int flags = ::fcntl(descriptor, F_GETFL);
    int error = flags < 0 || ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) != 0 ? errno : 0;
    if (error == 0) {
        error = writeAll(descriptor, bytes);
    }
    if (m_calls.close(descriptor) != 0 && error == 0) {
        error = errno;
    }
    return error == 0 ? std::nullopt : std::optional(systemError(error));
}

int QtFileStore::writeAll(int descriptor, const QByteArray& bytes) {
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = m_calls.write(descriptor, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            // A write that takes nothing and names no error would loop for ever.
            return EIO;
        }
        data += written;
        left -= written;
    }
    return 0;
}

std::optional<QString> QtFileStore::syncFolder(const QByteArray& folder) {
    const int descriptor = m_calls.open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (descriptor < 0) {
        return systemError(errno);
    }
    int error = m_calls.fsync(descriptor) != 0 ? errno : 0;
    m_calls.close(descriptor);
    // A file system that cannot flush a folder says so with EINVAL; there is nothing
    // more to do there.
    if (error == EINVAL || error == ENOTSUP) {
        error = 0;
    }
    return error == 0 ? std::nullopt : std::optional(systemError(error));
}

std::optional<QString> QtFileStore::createFolder(const QString& path, Access access) {
    // QDir::mkpath says only that it failed; the standard library also says why
    // ("Not a directory", "Permission denied").
    std::error_code error;
    const std::filesystem::path folder(nativePath(path).toStdString());
    std::filesystem::create_directories(folder, error);
    if (error) {
        return QString::fromStdString(error.message());
    }
    if (!std::filesystem::is_directory(folder, error)) {
        return QStringLiteral("a file of that name is in the way");
    }
    if (access == Access::privateToUser) {
        return restrictToOwner(path);
    }
    return std::nullopt;
}

bool QtFileStore::exists(const QString& path) const {
    return QFileInfo::exists(path);
}

QStringList QtFileStore::filesStartingWith(const QString& folder, const QString& prefix) const {
    const QDir directory(folder);
    QStringList paths;
    for (const QString& name : directory.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
        if (name.startsWith(prefix)) {
            paths.append(directory.filePath(name));
        }
    }
    return paths;
}

std::optional<QString> QtFileStore::rename(const QString& from, const QString& to) {
    QFile file(from);
    if (!file.rename(to)) {
        return file.errorString();
    }
    return std::nullopt;
}

std::optional<QString> QtFileStore::removeFile(const QString& path) {
    if (::unlink(nativePath(path).constData()) != 0 && errno != ENOENT) {
        return systemError(errno);
    }
    return std::nullopt;
}

std::optional<QString> QtFileStore::restrictToOwner(const QString& path) {
    return platform::restrictToOwner(path);
}

} // namespace kavro::platform
