// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::cli {

// kavro-cli calibrate [--output UID] [--input UID]: measures the microphone response
// with pink noise on real devices and stores the correction in the application's
// preferences, switched on.
int runCalibrate(const QStringList& args, CommandContext& context);

} // namespace kavro::cli
