#include "cli/CalibrateCommand.h"

#include "cli/CorrectionCommand.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/Settings.h"
#include "platform/qt/QtAudioBackend.h"
#include "platform/qt/SettingsPreferencesStore.h"
#include "platform/qt/SystemClock.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/MicResponseCalibrationService.h"
#include "services/PinkNoisePlayer.h"

#include <QEventLoop>
#include <QTimer>

#include <cmath>
#include <memory>

namespace kavro::cli {

namespace {

const char* const kCalibrateHelp =
    "Usage: kavro-cli calibrate [--output UID] [--input UID] [--channel N]\n"
    "\n"
    "Measures the response of monitors, room and microphone: plays pink noise, lets the\n"
    "room settle for a second, captures about four seconds from the microphone and\n"
    "derives a correction filter (limited to +-9 dB, none below 80 Hz). The correction is\n"
    "stored in Kavro's preferences and switched on; its curve is printed.\n"
    "\n"
    "  --output UID  output device for the pink noise (default: the one Kavro has\n"
    "                selected, else the system default)\n"
    "  --input UID   microphone (default: the one Kavro has selected, else the default)\n"
    "  --channel N   microphone channel, counted from 0 (default: Kavro's selection)\n"
    "  --help        show this text\n";

// A run takes about five seconds; a stalled capture must not hang the command.
constexpr std::chrono::seconds kGiveUpAfter{30};

} // namespace

int runCalibrate(const QStringList& args, CommandContext& context) {
    ParsedArguments parsed;
    if (auto error = parseArguments(args, {"help"}, {"output", "input", "channel"}, parsed)) {
        printError(context, *error);
        return kExitUsage;
    }
    if (parsed.has("help")) {
        context.out << kCalibrateHelp;
        return kExitOk;
    }
    if (!parsed.positional.isEmpty()) {
        printError(context, QStringLiteral(
                                "calibrate takes no positional arguments (see kavro-cli calibrate --help)"));
        return kExitUsage;
    }

    std::unique_ptr<platform::SettingsPreferencesStore> ownPreferences;
    platform::PreferencesStore* preferences = &applicationPreferences(context, ownPreferences);
    std::unique_ptr<platform::QtAudioBackend> ownBackend;
    platform::AudioBackend* backend = context.audioBackend;
    if (!backend) {
        ownBackend = std::make_unique<platform::QtAudioBackend>();
        ownBackend->waitForDeviceLists(std::chrono::seconds(2));
        backend = ownBackend.get();
    }

    // The devices come from the application's settings, but choosing others here must
    // not change them: the device manager works on a copy.
    const platform::Settings settings(*preferences);
    platform::MemoryPreferencesStore devicePreferences;
    platform::Settings(devicePreferences)
        .setValue(platform::keys::selectedChannelIndex, settings.value(platform::keys::selectedChannelIndex));
    using services::AudioDeviceManager;
    AudioDeviceManager devices(*backend, devicePreferences);
    devices.restoreDevice(settings.value(platform::keys::selectedDeviceUID));
    if (parsed.values.contains("input")) {
        const QString uid = parsed.values.value("input");
        if (!devices.hasInputDevice(uid)) {
            printError(context,
                       QStringLiteral("no input device has the UID \"%1\" (see kavro-cli devices)").arg(uid));
            return kExitFailure;
        }
        devices.selectDevice(uid);
    }
    if (parsed.values.contains("channel")) {
        int channel = 0;
        if (auto error = readInt(parsed, "channel", channel)) {
            printError(context, *error);
            return kExitUsage;
        }
        if (channel < 0 || channel >= devices.availableInputChannels().size()) {
            printError(context, QStringLiteral("the input has no channel %1").arg(channel));
            return kExitFailure;
        }
        devices.setSelectedChannelIndex(channel);
    }
    std::optional<QString> output = parsed.values.contains("output")
                                        ? std::optional(parsed.values.value("output"))
                                        : settings.stored(platform::keys::selectedOutputDeviceUID);

    platform::SystemClock clock;
    services::AudioMeasurementService audio(*backend, devices, clock, 94.0);
    services::PinkNoisePlayer player(*backend);
    const auto printLine = [&context](const QString& line) { printProblem(context, line); };
    QObject::connect(&audio, &services::AudioMeasurementService::problem, printLine);
    QObject::connect(&player, &services::PinkNoisePlayer::problem, printLine);
    services::MicFrequencyCorrection correction(*preferences);
    services::MicResponseCalibrationService calibration(clock);

    QEventLoop loop;
    using Kind = models::MicCalibrationState::Kind;
    auto lastKind = Kind::Idle;
    int lastPercent = -1;
    QObject::connect(&calibration, &services::MicResponseCalibrationService::changed, &loop, [&] {
        const auto& state = calibration.state();
        if (state.kind() == Kind::Measuring) {
            const int percent = static_cast<int>(std::floor(state.progress() * 100.0));
            // A terminal shows one updating line; a log gets a line every tenth.
            if (context.errIsTerminal ? percent != lastPercent
                                      : (percent / 10 != lastPercent / 10 || lastPercent < 0)) {
                context.err << (context.errIsTerminal ? "\r" : "") << state.text()
                            << QStringLiteral(" %1 %").arg(percent, 3) << (context.errIsTerminal ? "" : "\n");
                context.err.flush();
                lastPercent = percent;
            }
        } else if (state.kind() != lastKind) {
            if (lastKind == Kind::Measuring && context.errIsTerminal) {
                context.err << '\n';
            }
            context.err << state.text() << '\n';
            context.err.flush();
        }
        lastKind = state.kind();
        if (state.kind() == Kind::Done || state.kind() == Kind::Failed) {
            loop.quit();
        }
    });
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &loop, [&] {
        calibration.cancel();
        printError(context, QStringLiteral("no result after %1 s: is the microphone delivering sound?")
                                .arg(kGiveUpAfter.count()));
        loop.exit(1);
    });

    calibration.start(&audio, &player, output, &correction);
    if (calibration.state().kind() == Kind::Failed) {
        return kExitFailure;
    }
    giveUp.start(kGiveUpAfter);
    if (loop.exec() != 0) {
        return kExitFailure;
    }
    if (calibration.state().kind() != Kind::Done || !correction.profile()) {
        return kExitFailure;
    }
    if (!flushPreferences(context, *preferences)) {
        return kExitFailure;
    }
    printCorrectionCurve(context.out, *correction.profile());
    return kExitOk;
}

} // namespace kavro::cli
