#pragma once

#include "cli/CommandLine.h"
#include "models/MicCorrectionProfile.h"

namespace kavro::cli {

// kavro-cli correction show|clear|enable|disable|import FILE [--rate HZ]: the stored
// microphone correction in the application's preferences.
int runCorrection(const QStringList& args, CommandContext& context);

// One line per curve point: frequency and gain.
void printCorrectionCurve(QTextStream& stream, const models::MicCorrectionProfile& profile);

} // namespace kavro::cli
