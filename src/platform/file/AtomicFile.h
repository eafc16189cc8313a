#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace kavro::platform {

// Replaces the file at `path` with `bytes` in one step: the bytes go to a temporary
// file beside it, which is then moved over the old one, so a reader never sees half a
// file and a failed write leaves the old file as it was. Gives the error text on failure.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace kavro::platform
