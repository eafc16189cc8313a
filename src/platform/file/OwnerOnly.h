// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace kavro::platform {

// Takes every permission of other users away from an existing file or folder (0644
// becomes 0600, 0755 becomes 0700); a path with nothing there is no error. A symbolic
// link, and anything else that is not a file or a folder, is left as it is, and so is
// what a link points to. The error is the operating system's reason.
std::optional<QString> restrictToOwner(const QString& path);

} // namespace kavro::platform
