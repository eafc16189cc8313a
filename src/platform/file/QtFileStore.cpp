#include "platform/file/QtFileStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <filesystem>
#include <system_error>

namespace kavro::platform {

FileStore::ReadResult QtFileStore::readFile(const QString& path) const {
    QFile file(path);
    if (!file.exists()) {
        return Missing{};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return file.errorString();
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return file.errorString();
    }
    return bytes;
}

std::optional<QString> QtFileStore::writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    if (file.write(bytes) != bytes.size()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

std::optional<QString> QtFileStore::createFolder(const QString& path) {
    // QDir::mkpath says only that it failed; the standard library also says why
    // ("Not a directory", "Permission denied").
    std::error_code error;
    const std::filesystem::path folder(QFile::encodeName(path).toStdString());
    std::filesystem::create_directories(folder, error);
    if (error) {
        return QString::fromStdString(error.message());
    }
    if (!std::filesystem::is_directory(folder, error)) {
        return QStringLiteral("a file of that name is in the way");
    }
    return std::nullopt;
}

bool QtFileStore::exists(const QString& path) const {
    return QFileInfo::exists(path);
}

std::optional<QString> QtFileStore::rename(const QString& from, const QString& to) {
    QFile file(from);
    if (!file.rename(to)) {
        return file.errorString();
    }
    return std::nullopt;
}

} // namespace kavro::platform
