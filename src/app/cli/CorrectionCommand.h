// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "models/MicCorrectionProfile.h"

namespace kavro::cli {

// kavro-cli correction show|clear|enable|disable|import FILE [--rate HZ]: the stored
// microphone correction in the application's preferences.
int runCorrection(const QStringList& args, CommandContext& context);

// Writes the changes to disk now; false, with the reason printed, when they did not
// get there, so that a command never reports a change that is not kept.
bool flushPreferences(CommandContext& context, platform::PreferencesStore& preferences);

// One line per curve point: frequency and gain.
void printCorrectionCurve(QTextStream& stream, const models::MicCorrectionProfile& profile);

} // namespace kavro::cli
