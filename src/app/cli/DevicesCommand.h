// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::services {
class AudioDeviceManager;
}

namespace kavro::cli {

// kavro-cli devices: the input and output devices with UID, display name, channels
// and rate, as the device manager sees them.
int runDevices(const QStringList& args, CommandContext& context);

// Selects the input device with this UID (one the system lists) and this channel (one
// the input has, counted from 0) in the manager; none leaves each as it is. Returns
// the exit code to end with, the reason printed, when either is not there.
std::optional<int> selectInput(const std::optional<QString>& uid, std::optional<int> channel,
                               services::AudioDeviceManager& devices, CommandContext& context);

// Reads --channel: a device channel, counted from 0.
std::optional<QString> readChannel(const ParsedArguments& parsed, std::optional<int>& channel);

} // namespace kavro::cli
