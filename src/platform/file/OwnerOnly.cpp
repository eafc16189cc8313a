// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file/OwnerOnly.h"

#include <QFile>

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kavro::platform {

namespace {

QString systemError(int errorNumber) {
    return QString::fromStdString(std::system_category().message(errorNumber));
}

} // namespace

std::optional<QString> restrictToOwner(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat there {};
    if (::lstat(native.constData(), &there) != 0) {
        return errno == ENOENT ? std::nullopt : std::optional(systemError(errno));
    }
    // A link is followed by chmod: its target (a device, a file elsewhere) is not the
    // folder's to change. Nor are pipes, sockets and devices placed in it.
    if (!S_ISREG(there.st_mode) && !S_ISDIR(there.st_mode)) {
        return std::nullopt;
    }
    const mode_t mode = there.st_mode & 07777;
    if ((mode & 077) == 0) {
        return std::nullopt;
    }
    // The mode is changed on what was opened, never through a link put there since.
    const int descriptor =
        ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        return errno == ELOOP || errno == ENOENT ? std::nullopt : std::optional(systemError(errno));
    }
    // Changed only if what was opened is what was looked at.
    struct stat opened {};
    const bool same =
        ::fstat(descriptor, &opened) == 0 && opened.st_dev == there.st_dev && opened.st_ino == there.st_ino;
    const int error = same && ::fchmod(descriptor, mode & ~mode_t(077)) != 0 ? errno : 0;
    ::close(descriptor);
    return error == 0 ? std::nullopt : std::optional(systemError(error));
}

} // namespace kavro::platform
