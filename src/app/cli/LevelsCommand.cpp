// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LevelsCommand.h"

#include "cli/FileMeter.h"
#include "cli/LevelLine.h"
#include "cli/SecondSummary.h"

namespace kavro::cli {

namespace {

const char* const kLevelsHelp =
    "Usage: kavro-cli levels FILE [--offset DB] [--channel N] [--json]\n"
    "\n"
    "Measures a sound file (any format libsndfile reads) through Kavro's level meter and\n"
    "prints one line per second of audio: the time, the smoothed A- and C-weighted levels\n"
    "at the end of that second, and the second's highest A- and C-weighted peaks.\n"
    "\n"
    "  --offset DB   calibration offset added to every level (default 94)\n"
    "  --channel N   channel to measure, counted from 0 (default 0)\n"
    "  --json        one JSON object per line with the keys t, dBA, dBC, peakDBA, peakDBC\n"
    "  --help        show this text\n";

void printSecond(CommandContext& context, const SecondSummary& second, bool json) {
    printLevelLine(context.out, json, second.endSeconds, second.dBA, second.dBC, second.peakDBA,
                   second.peakDBC);
}

} // namespace

int runLevels(const QStringList& args, CommandContext& context) {
    auto opened = openFileCommand(args, context, QStringLiteral("levels"), kLevelsHelp, {"json"}, {});
    if (const int* exitCode = std::get_if<int>(&opened)) {
        return *exitCode;
    }
    FileCommand& command = std::get<FileCommand>(opened);
    auto& meter = *command.meter;
    const ParsedArguments& parsed = command.parsed;
    const bool json = parsed.has("json");

    SecondTracker seconds(meter.sampleRate());
    const std::int64_t measured = meter.run([&](const dsp::MeterReading& reading, std::int64_t startFrame) {
        if (const auto finished = seconds.add(reading, startFrame)) {
            printSecond(context, *finished, json);
        }
    });
    if (const auto last = seconds.finish()) {
        printSecond(context, *last, json);
    }
    if (const auto warning = meter.cutShortWarning(measured)) {
        printWarning(context, *warning);
    }
    context.out.flush();
    return kExitOk;
}

} // namespace kavro::cli
