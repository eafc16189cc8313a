// SPDX-License-Identifier: GPL-3.0-or-later
#include "LaunchOptions.h"

#include <QCommandLineParser>

namespace kavro::app {

const char* LaunchOptions::usage() {
    return "Usage: kavro [--headless] [--input-file FILE [--loop]] [--data-dir DIR]\n"
           "\n"
           "Runs Kavro in the desktop's tray; without a tray its panel is an ordinary window.\n"
           "\n"
           "  --headless          run without windows: listening sessions follow your audio\n"
           "                      workstations, notifications are posted and the history is\n"
           "                      kept; one line is printed for every session start and end,\n"
           "                      dose band and notification. Ctrl-C or SIGTERM ends and saves\n"
           "                      a running session first.\n"
           "  --input-file FILE   use a sound file, played in real time, as the microphone, with\n"
           "                      a session running from the start. Dose, history and\n"
           "                      preferences are kept in a temporary folder (printed at start)\n"
           "                      unless --data-dir is given: your own are never touched.\n"
           "  --loop              start the file over at its end (else silence follows it)\n"
           "  --data-dir DIR      keep the dose, history and preferences in DIR\n"
           "  --version           show the version and the licence\n";
}

std::variant<LaunchOptions, LaunchOptions::Help, LaunchOptions::Version, QString>
LaunchOptions::parse(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption headless(QStringLiteral("headless"));
    const QCommandLineOption inputFile(QStringLiteral("input-file"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption loop(QStringLiteral("loop"));
    const QCommandLineOption dataDir(QStringLiteral("data-dir"), QString(), QStringLiteral("DIR"));
    parser.addOptions({help, version, headless, inputFile, loop, dataDir});
    if (!parser.parse(QStringList{QStringLiteral("kavro")} + arguments)) {
        return parser.errorText();
    }
    if (parser.isSet(help)) {
        return Help{};
    }
    if (parser.isSet(version)) {
        return Version{};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return QStringLiteral("unexpected argument: ") + parser.positionalArguments().front();
    }
    LaunchOptions options;
    options.headless = parser.isSet(headless);
    options.inputFile = parser.value(inputFile);
    options.loop = parser.isSet(loop);
    options.dataDir = parser.value(dataDir);
    if (options.loop && options.inputFile.isEmpty()) {
        return QStringLiteral("--loop needs --input-file FILE");
    }
    if (parser.isSet(inputFile) && options.inputFile.isEmpty()) {
        return QStringLiteral("--input-file needs a FILE");
    }
    if (parser.isSet(dataDir) && options.dataDir.isEmpty()) {
        return QStringLiteral("--data-dir needs a DIR");
    }
    return options;
}

} // namespace kavro::app
