// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileStore.h"

#include <QHash>
#include <QSet>

namespace kavro::platform::testing {

// Files and folders held in memory. A file can be written only into a folder that
// exists, as on disk; a test can make each kind of operation fail with a given reason,
// or give the disk only so much free space. Permissions are kept as numbers: what the
// store creates for the user gets the modes of the usual umask 022.
class MemoryFileStore final : public FileStore {
public:
    static constexpr int kUserFileMode = 0644;
    static constexpr int kUserFolderMode = 0755;

    ReadResult readFile(const QString& path) const override;
    std::optional<QString> writeFile(const QString& path, const QByteArray& bytes, Access access) override;
    std::optional<QString> createFolder(const QString& path, Access access) override;
    bool exists(const QString& path) const override;
    QStringList filesStartingWith(const QString& folder, const QString& prefix) const override;
    std::optional<QString> rename(const QString& from, const QString& to) override;
    std::optional<QString> removeFile(const QString& path) override;
    std::optional<QString> restrictToOwner(const QString& path) override;

    // A file and its folders, as if another program had written it.
    void put(const QString& path, const QByteArray& bytes, int mode = kUserFileMode);
    std::optional<QByteArray> file(const QString& path) const;
    // Paths of every file, sorted.
    QStringList filePaths() const;
    bool hasFolder(const QString& path) const { return m_folders.contains(path); }
    // The permission bits of a file or folder (0644, 0700, ...).
    std::optional<int> mode(const QString& path) const;
    // A folder (made if missing) into which nothing can be written or renamed, as on a
    // disk where the user lacks the right to write.
    void addReadOnlyFolder(const QString& path);

    // While one is set, every operation of that kind fails with it and changes nothing.
    std::optional<QString> readError;
    std::optional<QString> writeError;
    std::optional<QString> folderError;
    std::optional<QString> renameError;
    std::optional<QString> removeError;
    // While set, a write fails with "No space left on device" unless the new file fits:
    // as on a disk, the old file's space comes free only once the new one has replaced it.
    std::optional<qint64> freeBytes;

    int writeCount() const { return m_writeCount; }

private:
    void addFolders(const QString& path);

    QHash<QString, QByteArray> m_files;
    // The root is always there.
    QSet<QString> m_folders{QStringLiteral("/")};
    QHash<QString, int> m_modes;
    QSet<QString> m_readOnlyFolders;
    int m_writeCount = 0;
};

} // namespace kavro::platform::testing
