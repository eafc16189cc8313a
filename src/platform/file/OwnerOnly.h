#pragma once

#include <QString>

#include <optional>

namespace kavro::platform {

// Takes every permission of other users away from an existing file or folder (0644
// becomes 0600, 0755 becomes 0700); a path with nothing there is no error. The error is
// the operating system's reason.
std::optional<QString> restrictToOwner(const QString& path);

} // namespace kavro::platform
