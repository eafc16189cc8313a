// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::cli {

// kavro-cli levels FILE: one line per second of audio with the smoothed dBA and dBC
// at the end of that second and the second's highest A- and C-weighted peaks.
int runLevels(const QStringList& args, CommandContext& context);

} // namespace kavro::cli
