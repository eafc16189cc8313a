#pragma once

#include "platform/FileStore.h"

#include <QHash>
#include <QSet>

namespace kavro::platform::testing {

// Files and folders held in memory. A file can be written only into a folder that
// exists, as on disk; a test can make each kind of operation fail with a given reason.
class MemoryFileStore final : public FileStore {
public:
    ReadResult readFile(const QString& path) const override;
    std::optional<QString> writeFile(const QString& path, const QByteArray& bytes) override;
    std::optional<QString> createFolder(const QString& path) override;
    bool exists(const QString& path) const override;
    std::optional<QString> rename(const QString& from, const QString& to) override;

    // A file and its folders, as if another program had written it.
    void put(const QString& path, const QByteArray& bytes);
    std::optional<QByteArray> file(const QString& path) const;
    // Paths of every file, sorted.
    QStringList filePaths() const;
    bool hasFolder(const QString& path) const { return m_folders.contains(path); }
    // A folder (made if missing) into which nothing can be written or renamed, as on a
    // disk where the user lacks the right to write.
    void addReadOnlyFolder(const QString& path);

    // While one is set, every operation of that kind fails with it and changes nothing.
    std::optional<QString> readError;
    std::optional<QString> writeError;
    std::optional<QString> folderError;
    std::optional<QString> renameError;

    int writeCount() const { return m_writeCount; }

private:
    void addFolders(const QString& path);

    QHash<QString, QByteArray> m_files;
    // The root is always there.
    QSet<QString> m_folders{QStringLiteral("/")};
    QSet<QString> m_readOnlyFolders;
    int m_writeCount = 0;
};

} // namespace kavro::platform::testing
