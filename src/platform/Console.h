// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kavro::platform {

// Writes one line (the text and a line break) to standard error: the program's
// console messages, such as "[Kavro] Failed to start audio engine: ...".
void printConsoleLine(const QString& line);

} // namespace kavro::platform
