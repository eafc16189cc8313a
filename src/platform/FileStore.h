// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace kavro::platform {

// The files the program keeps for the user (the session history and the checkpoint of
// the running session) and the files the user asks it to write (CSV exports), by path.
// Every failure is a value that says why, in the operating system's words, so the
// program can report it and carry on.
class FileStore {
public:
    // There is no file at the path (not an error: a first launch has no history yet).
    struct Missing {};
    using ReadResult = std::variant<QByteArray, Missing, QString>;

    // Who may read what the store creates. The history is a record of a person's
    // hearing: only its owner may read it. An export the user asks for is the user's
    // file like any other and gets the permissions the user's umask gives.
    enum class Access { privateToUser, userDefault };

    // Larger files are refused rather than read: no history comes near this, and a
    // wrong path (a device that never ends) must not eat the machine's memory.
    static constexpr qint64 kMaximumReadBytes = qint64(512) * 1024 * 1024;

    virtual ~FileStore() = default;

    // The whole file. Only regular files of at most kMaximumReadBytes are read.
    virtual ReadResult readFile(const QString& path) const = 0;
    // Replaces the regular file at `path` with `bytes` in one step: a reader sees the old
    // file or the new one, never half of one, and after a failure at any step the old
    // file is still there. A private file is created readable by its owner only; a file
    // for the user keeps the permissions of the file it replaces. An existing file that
    // is not a regular one (a device, a pipe, a terminal) is written to directly, never
    // replaced.
    virtual std::optional<QString> writeFile(const QString& path, const QByteArray& bytes, Access access) = 0;
    // Creates the folder and any missing parents. A private folder is made accessible to
    // its owner only, also when it already existed.
    virtual std::optional<QString> createFolder(const QString& path, Access access) = 0;
    virtual bool exists(const QString& path) const = 0;
    // The paths of the files in `folder` whose names start with `prefix`, sorted.
    virtual QStringList filesStartingWith(const QString& folder, const QString& prefix) const = 0;
    // Gives a file a new name; fails rather than replace a file already at `to`.
    virtual std::optional<QString> rename(const QString& from, const QString& to) = 0;
    // Deletes a file; a file that is not there is no error.
    virtual std::optional<QString> removeFile(const QString& path) = 0;
    // Takes every permission of other users away from an existing file or folder (files
    // written before the program kept them private); a missing one is no error. Symbolic
    // links are never followed: a link, and what it points to, stay as they are.
    virtual std::optional<QString> restrictToOwner(const QString& path) = 0;
};

} // namespace kavro::platform
