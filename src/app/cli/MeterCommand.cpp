// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/MeterCommand.h"

#include "cli/DevicesCommand.h"
#include "cli/LevelLine.h"
#include "cli/OutputsCommand.h"
#include "dsp/LevelMath.h"
#include "models/NumberText.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/SettingKey.h"
#include "platform/Settings.h"
#include "platform/qt/SystemClock.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/OutputSource.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace kavro::cli {

namespace {

const char* const kMeterHelp =
    "Usage: kavro-cli meter [--input UID | --output [NAME]] [--channel N] [--offset DB]\n"
    "                       [--seconds S] [--json]\n"
    "\n"
    "Measures a live input device, or what goes to an output, through Kavro's level meter\n"
    "and prints ten lines a second: the time, the smoothed A- and C-weighted levels, and\n"
    "the highest A- and C-weighted peaks since the previous line. An output is measured in\n"
    "each of its channels (the louder ear counts) and turned into dB SPL by its profile.\n"
    "\n"
    "  --input UID   input device (see kavro-cli devices; default: the system default)\n"
    "  --output [NAME]  measure an output (see kavro-cli outputs; without NAME the default\n"
    "                output, followed as it changes)\n"
    "  --channel N   device channel to measure, counted from 0 (default 0)\n"
    "  --offset DB   calibration offset added to every level, without the microphone\n"
    "                correction (default: Kavro's calibration, the offset and the\n"
    "                correction when it is on; %1 dB until one is set)\n"
    "  --seconds S   stop after S seconds (default: run until interrupted)\n"
    "  --json        one JSON object per line with the keys t, dBA, dBC, peakDBA, peakDBC\n"
    "  --help        show this text\n";

constexpr auto kLineInterval = std::chrono::milliseconds(100);

struct MeterOptions {
    std::optional<QString> input;
    std::optional<QString> output;
    std::optional<int> channel;
    // None: the application's stored calibration.
    std::optional<double> offset;
    double seconds = -1; // until interrupted
    bool json = false;
};

// Returns the exit code to end with (help shown, or a usage error printed), or none.
std::optional<int> parseMeterOptions(const QStringList& args, CommandContext& context,
                                     MeterOptions& options) {
    ParsedArguments parsed;
    const QString help = QString::fromUtf8(kMeterHelp)
                             .arg(models::fixedText(platform::keys::calibrationOffset.defaultValue, 0));
    double offset = platform::keys::calibrationOffset.defaultValue;
    if (const auto exit = parseCommandOptions(withOutputValue(args), {"json"},
                                              {"input", "output", "channel", "offset", "seconds"}, help,
                                              context, parsed, {{"device", "input"}})) {
        return exit;
    }
    for (auto error : {readCalibrationOffset(parsed, offset), readSeconds(parsed, options.seconds),
                       readChannel(parsed, options.channel)}) {
        if (error) {
            printError(context, *error);
            return kExitUsage;
        }
    }
    if (parsed.values.contains("input")) {
        options.input = parsed.values.value("input");
    }
    if (parsed.values.contains("offset")) {
        options.offset = offset;
    }
    if (parsed.values.contains("output")) {
        options.output = parsed.values.value("output");
        if (options.input || parsed.values.contains("channel") || parsed.values.contains("offset")) {
            printError(context, QStringLiteral("--output measures an output: --input, --channel and --offset "
                                               "belong to an input"));
            return kExitUsage;
        }
    }
    options.json = parsed.has("json");
    return std::nullopt;
}

// Prints a line every tenth of a second until the time is up or the device goes away.
int printLines(services::AudioMeasurementService& service, const MeterOptions& options,
               CommandContext& context) {
    QEventLoop loop;
    int exitCode = kExitOk;
    service.onDeviceDisconnected = [&] {
        printError(context, QStringLiteral("the input device went away"));
        exitCode = kExitFailure;
        loop.quit();
    };
    // An output that goes away is not waited for: its name is said at once.
    if (const services::OutputSource* output = service.outputSource()) {
        const QString name = output->chosenOutput().isEmpty()
                                 ? QStringLiteral("the default output")
                                 : QStringLiteral("output \"%1\"").arg(output->chosenOutput());
        service.onCaptureLost = [&context, &exitCode, &loop, name] {
            printError(context, name + QStringLiteral(" went away (or the sound server stopped)"));
            exitCode = kExitFailure;
            loop.quit();
        };
    }
    // The peaks of every buffer count, not only those that happen to be current when
    // a line is printed.
    double peakDBA = 0;
    double peakDBC = 0;
    QObject::connect(&service, &services::AudioMeasurementService::changed, &loop, [&] {
        peakDBA = std::max(peakDBA, service.peakDBA());
        peakDBC = std::max(peakDBC, service.peakDBC());
    });
    QElapsedTimer clock;
    clock.start();
    QTimer lines;
    // A coarse timer may fire early, and a line too early makes one line too many.
    lines.setTimerType(Qt::PreciseTimer);
    lines.setInterval(kLineInterval);
    QObject::connect(&lines, &QTimer::timeout, &loop, [&] {
        const double t = static_cast<double>(clock.elapsed()) / 1000.0;
        printLevelLine(context.out, options.json, t, service.currentSPL(), service.currentDBC(), peakDBA,
                       peakDBC);
        context.out.flush();
        peakDBA = 0;
        peakDBC = 0;
        if (options.seconds > 0 && t >= options.seconds - 1e-3) {
            loop.quit();
        }
    });
    lines.start();
    loop.exec();
    service.onDeviceDisconnected = nullptr;
    service.onCaptureLost = nullptr;
    return exitCode;
}

} // namespace

int runMeter(const QStringList& args, CommandContext& context) {
    MeterOptions options;
    if (const auto exit = parseMeterOptions(args, context, options)) {
        return *exit;
    }
    platform::AudioBackend& backend = context.audioBackend();
    platform::MemoryPreferencesStore preferences;
    services::AudioDeviceManager devices(backend, preferences);
    if (const auto exit = selectInput(options.input, options.channel, devices, context)) {
        return *exit;
    }
    const platform::SystemClock clock;
    // Without --offset the terminal measures as the program does: with the user's
    // calibration, not the default.
    const platform::Settings settings(context.preferences());
    const double stored = settings.value(platform::keys::calibrationOffset);
    const double offset = options.offset.value_or(dsp::level::isPlausibleCalibrationOffset(stored)
                                                      ? stored
                                                      : platform::keys::calibrationOffset.defaultValue);
    services::AudioMeasurementService service(backend, devices, clock, offset);
    std::optional<services::MicFrequencyCorrection> correction;
    if (!options.offset) {
        correction.emplace(settings);
        service.setMicFreqCorrection(&*correction);
    }
    QObject::connect(&service, &services::AudioMeasurementService::problem,
                     [&context](const QString& line) { printProblem(context, line); });
    std::unique_ptr<services::OutputSource> output;
    if (options.output) {
        output = std::make_unique<services::OutputSource>(context.outputTap(), context.outputReferences());
        if (const auto exit = selectOutput(*options.output, *output, context)) {
            return *exit;
        }
        service.setOutputSource(output.get());
    }
    service.start();
    if (!service.isRunning()) {
        printError(context, QStringLiteral("capture did not start"));
        return kExitFailure;
    }
    const int exitCode = printLines(service, options, context);
    service.stop();
    return exitCode;
}

} // namespace kavro::cli
