#include "cli/MeterCommand.h"

#include "cli/LevelLine.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/qt/QtAudioBackend.h"
#include "platform/qt/SystemClock.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace kavro::cli {

namespace {

const char* const kMeterHelp =
    "Usage: kavro-cli meter [--device UID] [--channel N] [--offset DB] [--seconds S] [--json]\n"
    "\n"
    "Measures a live input device through Kavro's level meter and prints ten lines a\n"
    "second: the time, the smoothed A- and C-weighted levels, and the highest A- and\n"
    "C-weighted peaks since the previous line.\n"
    "\n"
    "  --device UID  input device (see kavro-cli devices; default: the system default)\n"
    "  --channel N   device channel to measure, counted from 0 (default 0)\n"
    "  --offset DB   calibration offset added to every level (default 94)\n"
    "  --seconds S   stop after S seconds (default: run until interrupted)\n"
    "  --json        one JSON object per line with the keys t, dBA, dBC, peakDBA, peakDBC\n"
    "  --help        show this text\n";

constexpr auto kLineInterval = std::chrono::milliseconds(100);

} // namespace

int runMeter(const QStringList& args, CommandContext& context) {
    ParsedArguments parsed;
    if (const auto exit = parseCommandOptions(args, {"json"}, {"device", "channel", "offset", "seconds"},
                                              kMeterHelp, context, parsed)) {
        return *exit;
    }
    double offset = 94.0;
    double seconds = -1;
    int channel = 0;
    for (auto error : {readCalibrationOffset(parsed, offset), readDouble(parsed, "seconds", seconds),
                       readInt(parsed, "channel", channel)}) {
        if (error) {
            printError(context, *error);
            return kExitUsage;
        }
    }
    if (channel < 0) {
        printError(context, QStringLiteral("--channel must be 0 or more"));
        return kExitUsage;
    }
    if (parsed.values.contains("seconds") && !(seconds > 0)) {
        printError(context, QStringLiteral("--seconds must be above 0"));
        return kExitUsage;
    }
    const bool json = parsed.has("json");

    platform::QtAudioBackend backend;
    backend.waitForDeviceLists(std::chrono::seconds(2));
    platform::MemoryPreferencesStore preferences;
    services::AudioDeviceManager manager(backend, preferences);
    if (parsed.values.contains("device")) {
        const QString uid = parsed.values.value("device");
        if (!manager.hasInputDevice(uid)) {
            printError(context,
                       QStringLiteral("no input device has the UID \"%1\" (see kavro-cli devices)").arg(uid));
            return kExitFailure;
        }
        manager.selectDevice(uid);
        if (channel >= manager.availableInputChannels().size()) {
            printError(context, QStringLiteral("%1 has no channel %2 (it has %3, numbered from 0)")
                                    .arg(uid)
                                    .arg(channel)
                                    .arg(manager.availableInputChannels().size()));
            return kExitFailure;
        }
    }
    manager.setSelectedChannelIndex(channel);

    const platform::SystemClock systemClock;
    services::AudioMeasurementService service(backend, manager, systemClock, offset);
    QObject::connect(&service, &services::AudioMeasurementService::problem,
                     [&context](const QString& line) { printProblem(context, line); });
    QEventLoop loop;
    int exitCode = kExitOk;
    service.onDeviceDisconnected = [&] {
        printError(context, QStringLiteral("the input device went away"));
        exitCode = kExitFailure;
        loop.quit();
    };
    // The peaks of every buffer count, not only those that happen to be current when
    // a line is printed.
    double peakDBA = 0;
    double peakDBC = 0;
    QObject::connect(&service, &services::AudioMeasurementService::changed, &loop, [&] {
        peakDBA = std::max(peakDBA, service.peakDBA());
        peakDBC = std::max(peakDBC, service.peakDBC());
    });

    service.start();
    if (!service.isRunning()) {
        printError(context, QStringLiteral("capture did not start"));
        return kExitFailure;
    }
    QElapsedTimer clock;
    clock.start();
    QTimer lines;
    lines.setInterval(kLineInterval);
    QObject::connect(&lines, &QTimer::timeout, &loop, [&] {
        const double t = static_cast<double>(clock.elapsed()) / 1000.0;
        printLevelLine(context.out, json, t, service.currentSPL(), service.currentDBC(), peakDBA, peakDBC);
        context.out.flush();
        peakDBA = 0;
        peakDBC = 0;
        if (seconds > 0 && t >= seconds - 1e-3) {
            loop.quit();
        }
    });
    lines.start();
    loop.exec();
    service.stop();
    return exitCode;
}

} // namespace kavro::cli
