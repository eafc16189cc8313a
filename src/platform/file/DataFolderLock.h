#pragma once

#include <QLockFile>
#include <QString>

#include <memory>
#include <optional>
#include <variant>

namespace kavro::platform {

// Held by the one program that writes the history of a data folder (the tray program or
// `kavro --headless`), so that two writers never overwrite each other's sessions.
// Programs that only read the history take no lock. A lock left behind by a process
// that is no longer running is taken over. Released when the object goes away.
class DataFolderLock {
public:
    static inline const QString kFileName = QStringLiteral("kavro.lock");

    // Another running process holds the lock.
    struct HeldElsewhere {
        qint64 processId = 0;
        QString hostName;
        QString lockFilePath;
    };
    // The lock file cannot be created (folder missing and not creatable, no permission).
    struct Unavailable {
        QString description;
    };
    using Refusal = std::variant<HeldElsewhere, Unavailable>;

    // Creates the folder when it is missing and takes its lock without waiting.
    static std::variant<std::unique_ptr<DataFolderLock>, Refusal> acquire(const QString& folder);

    // The line a program prints when it cannot take the lock.
    static QString describe(const Refusal& refusal, const QString& folder);

    const QString& filePath() const { return m_filePath; }

private:
    explicit DataFolderLock(const QString& filePath);

    QString m_filePath;
    QLockFile m_file;
};

} // namespace kavro::platform
