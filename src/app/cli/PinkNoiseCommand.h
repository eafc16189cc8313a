#pragma once

#include "cli/CommandLine.h"

namespace kavro::cli {

// kavro-cli pink-noise: plays the calibration pink noise on an output device.
int runPinkNoise(const QStringList& args, CommandContext& context);

} // namespace kavro::cli
