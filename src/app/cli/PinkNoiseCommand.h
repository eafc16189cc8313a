// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::cli {

// kavro-cli pink-noise: plays the calibration pink noise on an output device.
int runPinkNoise(const QStringList& args, CommandContext& context);

} // namespace kavro::cli
