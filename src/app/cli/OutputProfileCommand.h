// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::cli {

// kavro-cli output-profile [--set KEY (--reference DB | data-sheet figures) | --remove KEY]:
// shows and changes the output profiles in the application's preferences.
int runOutputProfile(const QStringList& args, CommandContext& context);

} // namespace kavro::cli
