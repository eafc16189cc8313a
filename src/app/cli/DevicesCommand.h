#pragma once

#include "cli/CommandLine.h"

namespace kavro::cli {

// kavro-cli devices: the input and output devices with UID, display name, channels
// and rate, as the device manager sees them.
int runDevices(const QStringList& args, CommandContext& context);

} // namespace kavro::cli
