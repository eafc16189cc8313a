#pragma once

#include "cli/CommandLine.h"
#include "models/MicCorrectionProfile.h"

#include <memory>

namespace kavro::platform {
class SettingsPreferencesStore;
}

namespace kavro::cli {

// kavro-cli correction show|clear|enable|disable|import FILE [--rate HZ]: the stored
// microphone correction in the application's preferences.
int runCorrection(const QStringList& args, CommandContext& context);

// The preferences the command acts on: the context's, else the application's own,
// opened into `owned`.
platform::PreferencesStore&
applicationPreferences(CommandContext& context, std::unique_ptr<platform::SettingsPreferencesStore>& owned);

// Writes the changes to disk now; false, with the reason printed, when they did not
// get there, so that a command never reports a change that is not kept.
bool flushPreferences(CommandContext& context, platform::PreferencesStore& preferences);

// One line per curve point: frequency and gain.
void printCorrectionCurve(QTextStream& stream, const models::MicCorrectionProfile& profile);

} // namespace kavro::cli
