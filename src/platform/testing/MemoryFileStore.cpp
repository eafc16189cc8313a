// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/testing/MemoryFileStore.h"

#include <algorithm>

namespace kavro::platform::testing {

namespace {

QString parentOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}

const QString kPermissionDenied = QStringLiteral("Permission denied");

} // namespace

FileStore::ReadResult MemoryFileStore::readFile(const QString& path) const {
    const auto it = m_files.constFind(path);
    if (it == m_files.constEnd()) {
        return m_folders.contains(path) ? ReadResult(QStringLiteral("Is a directory")) : Missing{};
    }
    if (readError) {
        return *readError;
    }
    return *it;
}

std::optional<QString> MemoryFileStore::writeFile(const QString& path, const QByteArray& bytes,
                                                  Access access) {
    if (writeError) {
        return writeError;
    }
    if (m_readOnlyFolders.contains(parentOf(path))) {
        return kPermissionDenied;
    }
    if (!m_folders.contains(parentOf(path))) {
        return QStringLiteral("No such file or directory");
    }
    if (m_folders.contains(path)) {
        return QStringLiteral("Is a directory");
    }
    if (freeBytes) {
        if (bytes.size() > *freeBytes) {
            return QStringLiteral("No space left on device");
        }
        *freeBytes += m_files.value(path).size() - bytes.size();
    }
    const int replacedMode = m_modes.value(path, kUserFileMode);
    m_files.insert(path, bytes);
    m_modes.insert(path, access == Access::privateToUser ? 0600 : replacedMode);
    ++m_writeCount;
    return std::nullopt;
}

std::optional<QString> MemoryFileStore::createFolder(const QString& path, Access access) {
    if (folderError) {
        return folderError;
    }
    QString folder = path;
    for (; !m_folders.contains(folder); folder = parentOf(folder)) {
        if (m_files.contains(folder)) {
            return QStringLiteral("Not a directory");
        }
    }
    if (folder != path && m_readOnlyFolders.contains(folder)) {
        return kPermissionDenied;
    }
    addFolders(path);
    if (access == Access::privateToUser) {
        return restrictToOwner(path);
    }
    return std::nullopt;
}

void MemoryFileStore::addFolders(const QString& path) {
    for (QString folder = path; !m_folders.contains(folder); folder = parentOf(folder)) {
        m_folders.insert(folder);
        m_modes.insert(folder, kUserFolderMode);
    }
}

bool MemoryFileStore::exists(const QString& path) const {
    return m_files.contains(path) || m_folders.contains(path);
}

std::optional<QString> MemoryFileStore::rename(const QString& from, const QString& to) {
    if (renameError) {
        return renameError;
    }
    if (!m_files.contains(from)) {
        return QStringLiteral("No such file or directory");
    }
    if (exists(to)) {
        return QStringLiteral("Destination file exists");
    }
    if (!m_folders.contains(parentOf(to))) {
        return QStringLiteral("No such file or directory");
    }
    if (m_readOnlyFolders.contains(parentOf(from)) || m_readOnlyFolders.contains(parentOf(to))) {
        return kPermissionDenied;
    }
    m_files.insert(to, m_files.take(from));
    m_modes.insert(to, m_modes.take(from));
    return std::nullopt;
}

std::optional<QString> MemoryFileStore::removeFile(const QString& path) {
    if (removeError) {
        return removeError;
    }
    if (m_folders.contains(path)) {
        return QStringLiteral("Is a directory");
    }
    if (m_readOnlyFolders.contains(parentOf(path))) {
        return kPermissionDenied;
    }
    if (freeBytes) {
        *freeBytes += m_files.value(path).size();
    }
    m_files.remove(path);
    m_modes.remove(path);
    return std::nullopt;
}

std::optional<QString> MemoryFileStore::restrictToOwner(const QString& path) {
    if (const auto it = m_modes.find(path); it != m_modes.end()) {
        *it &= ~077;
    }
    return std::nullopt;
}

void MemoryFileStore::addReadOnlyFolder(const QString& path) {
    addFolders(path);
    m_readOnlyFolders.insert(path);
}

void MemoryFileStore::put(const QString& path, const QByteArray& bytes, int mode) {
    addFolders(parentOf(path));
    m_files.insert(path, bytes);
    m_modes.insert(path, mode);
}

std::optional<QByteArray> MemoryFileStore::file(const QString& path) const {
    const auto it = m_files.constFind(path);
    if (it == m_files.constEnd()) {
        return std::nullopt;
    }
    return *it;
}

std::optional<int> MemoryFileStore::mode(const QString& path) const {
    const auto it = m_modes.constFind(path);
    if (it == m_modes.constEnd()) {
        return std::nullopt;
    }
    return *it;
}

QStringList MemoryFileStore::filesStartingWith(const QString& folder, const QString& prefix) const {
    QStringList paths;
    for (const QString& path : filePaths()) {
        if (parentOf(path) == folder && path.mid(folder.size() + 1).startsWith(prefix)) {
            paths.append(path);
        }
    }
    return paths;
}

QStringList MemoryFileStore::filePaths() const {
    QStringList paths = m_files.keys();
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace kavro::platform::testing
