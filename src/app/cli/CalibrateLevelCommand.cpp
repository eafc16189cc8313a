// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CalibrateLevelCommand.h"

#include "cli/CorrectionCommand.h"
#include "cli/DevicesCommand.h"
#include "models/NumberText.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/Settings.h"
#include "platform/qt/SystemClock.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/CalibrationLog.h"
#include "services/LevelCalibrationService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/PinkNoisePlayer.h"

#include <QEventLoop>

#include <cmath>

namespace kavro::cli {

namespace {

using services::LevelCalibrationService;
using Phase = LevelCalibrationService::Phase;

const char* const kCalibrateLevelHelp =
    "Usage: kavro-cli calibrate-level --calibrator DB [--input UID] [--channel N] [--confirm]\n"
    "       kavro-cli calibrate-level --reference DB [--weighting A|C] [--output UID]\n"
    "                                 [--input UID] [--channel N] [--confirm]\n"
    "\n"
    "Sets Kavro's level offset so that it reads a known level, to 0.1 dB, and stores it in\n"
    "Kavro's preferences with how, when and for which input it was set.\n"
    "\n"
    "  --calibrator DB  a sound calibrator of this level (94 or 114, or its own) sits on\n"
    "                   the microphone: its tone must be near 1 kHz, steady and alone\n"
    "  --reference DB   another meter at the listening position reads this level while\n"
    "                   Kavro plays its pink noise (read it first: the noise is the same\n"
    "                   every time it plays)\n"
    "  --weighting A|C  the weighting the other meter reads with (default A)\n"
    "  --output UID     output device for the pink noise (default: Kavro's selection)\n"
    "  --input UID      microphone (default: the one Kavro has selected, else the default)\n"
    "  --channel N      microphone channel, counted from 0 (default: Kavro's selection)\n"
    "  --confirm        accept a change of more than 30 dB (otherwise refused as a likely\n"
    "                   wrong input)\n"
    "  --help           show this text\n";

struct LevelOptions {
    std::optional<double> calibrator;
    std::optional<double> reference;
    LevelCalibrationService::Weighting weighting = LevelCalibrationService::Weighting::a;
    std::optional<QString> input;
    std::optional<QString> output;
    std::optional<int> channel;
    bool confirm = false;
};

std::optional<QString> readKnownLevel(const ParsedArguments& parsed, const QString& name,
                                      std::optional<double>& level) {
    if (!parsed.values.contains(name)) {
        return std::nullopt;
    }
    double value = 0;
    if (auto error = readDouble(parsed, name, value)) {
        return error;
    }
    if (value <= 0 || value > 160) {
        return QStringLiteral("--%1 needs a level in dB above 0 and up to 160, not %2")
            .arg(name, parsed.values.value(name));
    }
    level = value;
    return std::nullopt;
}

std::optional<QString> readLevelOptions(const ParsedArguments& parsed, LevelOptions& options) {
    for (auto error : {readKnownLevel(parsed, QStringLiteral("calibrator"), options.calibrator),
                       readKnownLevel(parsed, QStringLiteral("reference"), options.reference),
                       readChannel(parsed, options.channel)}) {
        if (error) {
            return error;
        }
    }
    if (options.calibrator.has_value() == options.reference.has_value()) {
        return QStringLiteral("give either --calibrator DB or --reference DB");
    }
    const QString weighting = parsed.values.value(QStringLiteral("weighting"), QStringLiteral("A")).toUpper();
    if (weighting != QLatin1String("A") && weighting != QLatin1String("C")) {
        return QStringLiteral("--weighting is A or C, not \"%1\"").arg(parsed.values.value("weighting"));
    }
    if (parsed.values.contains(QStringLiteral("weighting")) && options.calibrator) {
        return QStringLiteral("--weighting belongs to --reference");
    }
    options.weighting = weighting == QLatin1String("C") ? LevelCalibrationService::Weighting::c
                                                        : LevelCalibrationService::Weighting::a;
    return std::nullopt;
}

// Returns the exit code to end with (help shown, or a usage error printed), or none.
std::optional<int> parseLevelOptions(const QStringList& args, CommandContext& context,
                                     LevelOptions& options) {
    ParsedArguments parsed;
    if (const auto exit = parseCommandOptions(
            args, {"confirm"}, {"calibrator", "reference", "weighting", "output", "input", "channel"},
            QString::fromUtf8(kCalibrateLevelHelp), context, parsed)) {
        return exit;
    }
    if (auto error = readLevelOptions(parsed, options)) {
        printError(context, *error);
        return kExitUsage;
    }
    for (auto [name, value] : {std::pair{"input", &options.input}, std::pair{"output", &options.output}}) {
        if (parsed.values.contains(name)) {
            *value = parsed.values.value(name);
        }
    }
    options.confirm = parsed.has("confirm");
    return std::nullopt;
}

// Runs the calibration to its end, showing its progress on err: true when it set an offset.
bool listen(LevelCalibrationService& run, CommandContext& context) {
    QEventLoop loop;
    int shownTenth = -1;
    QObject::connect(&run, &LevelCalibrationService::changed, &loop, [&] {
        if (run.phase() != Phase::listening) {
            loop.quit();
            return;
        }
        const int tenth = static_cast<int>(std::floor(run.progress() * 10.0));
        if (tenth != shownTenth) {
            shownTenth = tenth;
            context.err << (context.errIsTerminal ? "\r" : "") << run.message()
                        << QStringLiteral(" %1 %").arg(tenth * 10, 3) << (context.errIsTerminal ? "" : "\n");
            context.err.flush();
        }
    });
    if (run.phase() == Phase::listening) {
        loop.exec();
    }
    if (context.errIsTerminal && shownTenth >= 0) {
        context.err << '\n';
    }
    return run.phase() == Phase::done;
}

} // namespace

int runCalibrateLevel(const QStringList& args, CommandContext& context) {
    LevelOptions options;
    if (const auto exit = parseLevelOptions(args, context, options)) {
        return *exit;
    }
    platform::PreferencesStore& preferences = context.preferences();
    platform::Settings settings(preferences);
    // Choosing another input here must not change the application's selection.
    platform::MemoryPreferencesStore devicePreferences;
    platform::Settings(devicePreferences)
        .setValue(platform::keys::selectedChannelIndex, settings.value(platform::keys::selectedChannelIndex));
    services::AudioDeviceManager devices(context.audioBackend(), devicePreferences);
    devices.restoreDevice(settings.value(platform::keys::selectedDeviceUID));
    if (const auto exit = selectInput(options.input, options.channel, devices, context)) {
        return *exit;
    }

    platform::SystemClock clock;
    const double offsetBefore = settings.value(platform::keys::calibrationOffset);
    services::AudioMeasurementService audio(context.audioBackend(), devices, clock, offsetBefore);
    services::PinkNoisePlayer player(context.audioBackend());
    services::MicFrequencyCorrection correction(settings);
    audio.setMicFreqCorrection(&correction);
    const auto printLine = [&context](const QString& line) { printProblem(context, line); };
    QObject::connect(&audio, &services::AudioMeasurementService::problem, printLine);
    QObject::connect(&player, &services::PinkNoisePlayer::problem, printLine);

    LevelCalibrationService run;
    if (options.calibrator) {
        run.startWithCalibrator(*options.calibrator, &audio, offsetBefore, options.confirm);
    } else {
        const std::optional<QString> output =
            options.output ? options.output : settings.stored(platform::keys::selectedOutputDeviceUID);
        run.startWithReference(*options.reference, options.weighting, &audio, &player, output, offsetBefore,
                               options.confirm);
    }
    if (!listen(run, context)) {
        printError(context, run.message());
        return kExitFailure;
    }
    settings.setValue(platform::keys::calibrationOffset, *run.offset());
    services::CalibrationLog(settings).record(services::CalibrationLog::recordOfRun(
        run, clock.now(), services::CalibrationLog::inputInUse(devices, audio), correction));
    if (!flushPreferences(context, preferences)) {
        return kExitFailure;
    }
    context.out << run.message() << QStringLiteral(" (was %1 dB)\n").arg(models::fixedText(offsetBefore, 1));
    return kExitOk;
}

} // namespace kavro::cli
