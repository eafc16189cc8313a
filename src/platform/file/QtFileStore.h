// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FileStore.h"
#include "platform/file/FileSystemCalls.h"

namespace kavro::platform {

// The real file system. A file is replaced by writing a temporary file beside it,
// checking every write, flushing it to the disk (fsync), renaming it over the old one
// and flushing the folder, so that neither a full disk nor a power cut can leave an
// empty or half-written file in place of a good one. Every error is the operating
// system's own reason ("No space left on device").
class QtFileStore final : public FileStore {
public:
    explicit QtFileStore(FileSystemCalls& calls = FileSystemCalls::system()) : m_calls(calls) {}

    ReadResult readFile(const QString& path) const override;
    std::optional<QString> writeFile(const QString& path, const QByteArray& bytes, Access access) override;
    std::optional<QString> createFolder(const QString& path, Access access) override;
    bool exists(const QString& path) const override;
    QStringList filesStartingWith(const QString& folder, const QString& prefix) const override;
    std::optional<QString> rename(const QString& from, const QString& to) override;
    std::optional<QString> removeFile(const QString& path) override;
    std::optional<QString> restrictToOwner(const QString& path) override;

private:
    std::optional<QString> replaceRegularFile(const QByteArray& target, const QByteArray& bytes,
                                              Access access, std::optional<mode_t> replacedMode);
    std::optional<QString> writeToSpecialFile(const QByteArray& path, const QByteArray& bytes);
    // Writes all of `bytes`, however many calls that takes; the error number of a failure.
    int writeAll(int descriptor, const QByteArray& bytes);
    std::optional<QString> syncFolder(const QByteArray& folder);

    FileSystemCalls& m_calls;
};

} // namespace kavro::platform
