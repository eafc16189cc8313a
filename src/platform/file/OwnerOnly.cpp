#include "platform/file/OwnerOnly.h"

#include <QFile>

#include <cerrno>
#include <system_error>

#include <sys/stat.h>

namespace kavro::platform {

std::optional<QString> restrictToOwner(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::stat(native.constData(), &status) != 0) {
        if (errno == ENOENT) {
            return std::nullopt;
        }
        return QString::fromStdString(std::system_category().message(errno));
    }
    const mode_t mode = status.st_mode & 07777;
    if ((mode & 077) != 0 && ::chmod(native.constData(), mode & ~mode_t(077)) != 0) {
        return QString::fromStdString(std::system_category().message(errno));
    }
    return std::nullopt;
}

} // namespace kavro::platform
