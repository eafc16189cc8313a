#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>

namespace kavro::platform {

// The files the program keeps for the user (the session history) and the files the user
// asks it to write (CSV exports), by path. Every failure is a value that says why, in the
// operating system's words, so the program can report it and carry on.
class FileStore {
public:
    // There is no file at the path (not an error: a first launch has no history yet).
    struct Missing {};
    using ReadResult = std::variant<QByteArray, Missing, QString>;

    virtual ~FileStore() = default;

    // The whole file.
    virtual ReadResult readFile(const QString& path) const = 0;
    // Replaces the file at `path` with `bytes` in one step: a reader sees the old file or
    // the new one, never half of one, and after a failure the old file is still there.
    virtual std::optional<QString> writeFile(const QString& path, const QByteArray& bytes) = 0;
    // Creates the folder and any missing parents; nothing when it already exists.
    virtual std::optional<QString> createFolder(const QString& path) = 0;
    virtual bool exists(const QString& path) const = 0;
    // Gives a file a new name; fails rather than replace a file already at `to`.
    virtual std::optional<QString> rename(const QString& from, const QString& to) = 0;
};

} // namespace kavro::platform
