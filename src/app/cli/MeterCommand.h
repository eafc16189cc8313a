// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::cli {

// kavro-cli meter: live A/C-weighted levels and peaks from a real input device, ten
// lines a second, measured by the same service the tray application uses.
int runMeter(const QStringList& args, CommandContext& context);

} // namespace kavro::cli
