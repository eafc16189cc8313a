// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PinkNoiseCommand.h"

#include "services/PinkNoisePlayer.h"

#include <QEventLoop>
#include <QTimer>

namespace kavro::cli {

namespace {

const char* const kPinkNoiseHelp =
    "Usage: kavro-cli pink-noise [--output UID] [--seconds S]\n"
    "\n"
    "Plays Kavro's calibration pink noise (44100 Hz, stereo, about -14 dB full scale).\n"
    "\n"
    "  --output UID  output device (see kavro-cli devices; default: the system default;\n"
    "                a UID no device has plays on the default)\n"
    "  --seconds S   stop after S seconds (default: play until interrupted)\n"
    "  --help        show this text\n";

// Plays until the time is up or the output goes away; returns the exit code.
int playUntilDone(services::PinkNoisePlayer& player, double seconds, CommandContext& context) {
    QEventLoop loop;
    int exitCode = kExitOk;
    QObject::connect(&player, &services::PinkNoisePlayer::changed, &loop, [&] {
        if (!player.isPlaying()) {
            printError(context, QStringLiteral("playback ended: the output device went away"));
            exitCode = kExitFailure;
            loop.quit();
        }
    });
    if (seconds > 0) {
        QTimer::singleShot(std::chrono::milliseconds(static_cast<qint64>(seconds * 1000)), &loop,
                           &QEventLoop::quit);
    }
    loop.exec();
    QObject::disconnect(&player, nullptr, &loop, nullptr);
    return exitCode;
}

} // namespace

int runPinkNoise(const QStringList& args, CommandContext& context) {
    ParsedArguments parsed;
    if (const auto exit =
            parseCommandOptions(args, {}, {"output", "seconds"}, QString::fromUtf8(kPinkNoiseHelp), context,
                                parsed, {{"device", "output"}})) {
        return *exit;
    }
    double seconds = -1;
    if (auto error = readSeconds(parsed, seconds)) {
        printError(context, *error);
        return kExitUsage;
    }
    std::optional<QString> device;
    if (const QString uid = parsed.values.value("output"); !uid.isEmpty()) {
        device = uid;
    }

    services::PinkNoisePlayer player(context.audioBackend());
    QObject::connect(&player, &services::PinkNoisePlayer::problem,
                     [&context](const QString& line) { printProblem(context, line); });
    if (!player.start(device)) {
        return kExitFailure;
    }
    const int exitCode = playUntilDone(player, seconds, context);
    player.stop();
    return exitCode;
}

} // namespace kavro::cli
