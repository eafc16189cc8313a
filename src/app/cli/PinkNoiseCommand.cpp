#include "cli/PinkNoiseCommand.h"

#include "platform/qt/QtAudioBackend.h"
#include "services/PinkNoisePlayer.h"

#include <QEventLoop>
#include <QTimer>

namespace kavro::cli {

namespace {

const char* const kPinkNoiseHelp =
    "Usage: kavro-cli pink-noise [--device UID] [--seconds S]\n"
    "\n"
    "Plays Kavro's calibration pink noise (44100 Hz, stereo, about -14 dB full scale).\n"
    "\n"
    "  --device UID  output device (see kavro-cli devices; default: the system default;\n"
    "                a UID no device has plays on the default)\n"
    "  --seconds S   stop after S seconds (default: play until interrupted)\n"
    "  --help        show this text\n";

} // namespace

int runPinkNoise(const QStringList& args, CommandContext& context) {
    ParsedArguments parsed;
    if (const auto exit =
            parseCommandOptions(args, {}, {"device", "seconds"}, kPinkNoiseHelp, context, parsed)) {
        return *exit;
    }
    double seconds = -1;
    if (auto error = readDouble(parsed, "seconds", seconds)) {
        printError(context, *error);
        return kExitUsage;
    }
    if (parsed.values.contains("seconds") && !(seconds > 0)) {
        printError(context, QStringLiteral("--seconds must be above 0"));
        return kExitUsage;
    }
    std::optional<QString> device;
    if (const QString uid = parsed.values.value("device"); !uid.isEmpty()) {
        device = uid;
    }

    platform::QtAudioBackend backend;
    backend.waitForDeviceLists(std::chrono::seconds(2));
    services::PinkNoisePlayer player(backend);
    QObject::connect(&player, &services::PinkNoisePlayer::problem,
                     [&context](const QString& line) { printProblem(context, line); });
    if (!player.start(device)) {
        return kExitFailure;
    }
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
    player.stop();
    return exitCode;
}

} // namespace kavro::cli
