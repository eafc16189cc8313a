// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kavro::platform {

// The folder in which Kavro keeps the user's files: <user data folder>/Kavro, that is
// $XDG_DATA_HOME/Kavro (~/.local/share/Kavro) on Linux.
QString defaultDataFolder();

} // namespace kavro::platform
