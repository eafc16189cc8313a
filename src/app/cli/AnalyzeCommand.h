// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::cli {

// kavro-cli analyze FILE: runs a sound file through the meter, the dose calculator and
// the Leq statistics exactly as a live session would feed them, on the file's own
// time, and reports the exposure: LAeq/LCeq, dose and projection, peak counts and the
// rolling statistics at the end.
int runAnalyze(const QStringList& args, CommandContext& context);

} // namespace kavro::cli
