// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::cli {

// kavro-cli calibrate-level --calibrator DB | --reference DB [--weighting A|C]: sets
// the level offset from a sound calibrator on the microphone or from pink noise against
// another meter's reading, and stores it (with its record) in the application's
// preferences.
int runCalibrateLevel(const QStringList& args, CommandContext& context);

} // namespace kavro::cli
