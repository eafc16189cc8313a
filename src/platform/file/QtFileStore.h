#pragma once

#include "platform/FileStore.h"

namespace kavro::platform {

// The real file system, through Qt's file classes: writes go to a temporary file beside
// the target that is then renamed over it (QSaveFile).
class QtFileStore final : public FileStore {
public:
    ReadResult readFile(const QString& path) const override;
    std::optional<QString> writeFile(const QString& path, const QByteArray& bytes) override;
    std::optional<QString> createFolder(const QString& path) override;
    bool exists(const QString& path) const override;
    std::optional<QString> rename(const QString& from, const QString& to) override;
};

} // namespace kavro::platform
