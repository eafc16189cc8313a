// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CalibrateCommand.h"

#include "cli/CorrectionCommand.h"
#include "cli/DevicesCommand.h"
#include "dsp/CorrectionDesign.h"
#include "models/NumberText.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/Settings.h"
#include "platform/qt/SystemClock.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/MicResponseCalibrationService.h"
#include "services/PinkNoisePlayer.h"

#include <QEventLoop>
#include <QTimer>

#include <cmath>

namespace kavro::cli {

namespace {

const char* const kCalibrateHelp =
    "Usage: kavro-cli calibrate [--output UID] [--input UID] [--channel N]\n"
    "\n"
    "Measures the response of monitors, room and microphone: plays pink noise, lets the\n"
    "room settle for a second, captures about four seconds from the microphone and\n"
    "derives a correction filter (limited to +-%1 dB, none below %2 Hz). The correction is\n"
    "stored in Kavro's preferences and switched on; its curve is printed.\n"
    "\n"
    "  --output UID  output device for the pink noise (default: the one Kavro has\n"
    "                selected, else the system default)\n"
    "  --input UID   microphone (default: the one Kavro has selected, else the default)\n"
    "  --channel N   microphone channel, counted from 0 (default: Kavro's selection)\n"
    "  --help        show this text\n";

// A run takes about five seconds; a stalled capture must not hang the command.
constexpr std::chrono::seconds kGiveUpAfter{30};

using Kind = models::MicCalibrationState::Kind;

QString help() {
    return QString::fromUtf8(kCalibrateHelp)
        .arg(models::fixedText(dsp::correction::kMaxCorrectionDB, 0),
             models::fixedText(dsp::correction::kFreqLow, 0));
}

struct CalibrateOptions {
    std::optional<QString> input;
    std::optional<QString> output;
    std::optional<int> channel;
};

// Returns the exit code to end with (help shown, or a usage error printed), or none.
std::optional<int> parseCalibrateOptions(const QStringList& args, CommandContext& context,
                                         CalibrateOptions& options) {
    ParsedArguments parsed;
    if (const auto exit =
            parseCommandOptions(args, {}, {"output", "input", "channel"}, help(), context, parsed)) {
        return exit;
    }
    if (auto error = readChannel(parsed, options.channel)) {
        printError(context, *error);
        return kExitUsage;
    }
    for (auto [name, value] : {std::pair{"input", &options.input}, std::pair{"output", &options.output}}) {
        if (parsed.values.contains(name)) {
            *value = parsed.values.value(name);
        }
    }
    return std::nullopt;
}

// Shows the measurement's progress on err: one updating line on a terminal, a line
// every tenth in a log, and each change of state.
class ProgressPrinter {
public:
    explicit ProgressPrinter(CommandContext& context) : m_context(context) {}

    void show(const models::MicCalibrationState& state) {
        QTextStream& err = m_context.err;
        const bool terminal = m_context.errIsTerminal;
        if (state.kind() == Kind::Measuring) {
            const int percent = static_cast<int>(std::floor(state.progress() * 100.0));
            if (terminal ? percent != m_lastPercent
                         : (percent / 10 != m_lastPercent / 10 || m_lastPercent < 0)) {
                err << (terminal ? "\r" : "") << state.text() << QStringLiteral(" %1 %").arg(percent, 3)
                    << (terminal ? "" : "\n");
                err.flush();
                m_lastPercent = percent;
            }
        } else if (state.kind() != m_lastKind) {
            if (m_lastKind == Kind::Measuring && terminal) {
                err << '\n';
            }
            err << state.text() << '\n';
            err.flush();
        }
        m_lastKind = state.kind();
    }

private:
    CommandContext& m_context;
    Kind m_lastKind = Kind::Idle;
    int m_lastPercent = -1;
};

// Runs the measurement to its end; true when a correction came of it.
bool measure(services::MicResponseCalibrationService& calibration, services::AudioMeasurementService& audio,
             services::PinkNoisePlayer& player, const std::optional<QString>& output,
             services::MicFrequencyCorrection& correction, CommandContext& context) {
    QEventLoop loop;
    ProgressPrinter progress(context);
    QObject::connect(&calibration, &services::MicResponseCalibrationService::changed, &loop, [&] {
        progress.show(calibration.state());
        if (calibration.state().kind() == Kind::Done || calibration.state().kind() == Kind::Failed) {
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
        return false;
    }
    giveUp.start(kGiveUpAfter);
    if (loop.exec() != 0) {
        return false;
    }
    return calibration.state().kind() == Kind::Done && correction.profile();
}

} // namespace

int runCalibrate(const QStringList& args, CommandContext& context) {
    CalibrateOptions options;
    if (const auto exit = parseCalibrateOptions(args, context, options)) {
        return *exit;
    }
    platform::PreferencesStore& preferences = context.preferences();
    platform::AudioBackend& backend = context.audioBackend();

    // The devices come from the application's settings, but choosing others here must
    // not change them: the device manager works on a copy.
    const platform::Settings settings(preferences);
    platform::MemoryPreferencesStore devicePreferences;
    platform::Settings(devicePreferences)
        .setValue(platform::keys::selectedChannelIndex, settings.value(platform::keys::selectedChannelIndex));
    services::AudioDeviceManager devices(backend, devicePreferences);
    devices.restoreDevice(settings.value(platform::keys::selectedDeviceUID));
    if (const auto exit = selectInput(options.input, options.channel, devices, context)) {
        return *exit;
    }
    const std::optional<QString> output =
        options.output ? options.output : settings.stored(platform::keys::selectedOutputDeviceUID);

    platform::SystemClock clock;
    services::AudioMeasurementService audio(backend, devices, clock,
                                            platform::keys::calibrationOffset.defaultValue);
    services::PinkNoisePlayer player(backend);
    const auto printLine = [&context](const QString& line) { printProblem(context, line); };
    QObject::connect(&audio, &services::AudioMeasurementService::problem, printLine);
    QObject::connect(&player, &services::PinkNoisePlayer::problem, printLine);
    services::MicFrequencyCorrection correction(preferences);
    services::MicResponseCalibrationService calibration(clock);

    if (!measure(calibration, audio, player, output, correction, context) ||
        !flushPreferences(context, preferences)) {
        return kExitFailure;
    }
    printCorrectionCurve(context.out, *correction.profile());
    return kExitOk;
}

} // namespace kavro::cli
