// SPDX-License-Identifier: GPL-3.0-or-later
// kavro-cli: Kavro's terminal tool. Each command measures or inspects through the
// same services the tray application uses.
#include "cli/AnalyzeCommand.h"
#include "cli/CalibrateCommand.h"
#include "cli/CalibrateLevelCommand.h"
#include "cli/CommandLine.h"
#include "cli/CorrectionCommand.h"
#include "cli/DevicesCommand.h"
#include "cli/HistoryCommand.h"
#include "cli/LevelsCommand.h"
#include "cli/MeterCommand.h"
#include "cli/OutputProfileCommand.h"
#include "cli/OutputsCommand.h"
#include "cli/PinkNoiseCommand.h"
#include "models/ProgramLicence.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

namespace {

using Command = int (*)(const QStringList&, kavro::cli::CommandContext&);

struct CommandEntry {
    const char* name;
    Command run;
    const char* summary;
};

const CommandEntry kCommands[] = {
    {"levels", kavro::cli::runLevels, "measure a sound file, one line per second"},
    {"analyze", kavro::cli::runAnalyze, "noise dose, LAeq, peaks and Leq/Ln of a sound file"},
    {"history", kavro::cli::runHistory, "list, summarise or export the session history"},
    {"devices", kavro::cli::runDevices, "list the audio input and output devices"},
    {"outputs", kavro::cli::runOutputs, "list the outputs Kavro can measure, with their profiles"},
    {"meter", kavro::cli::runMeter, "measure a live input device or output, ten lines a second"},
    {"pink-noise", kavro::cli::runPinkNoise, "play the calibration pink noise"},
    {"calibrate", kavro::cli::runCalibrate, "measure the microphone response and store its correction"},
    {"calibrate-level", kavro::cli::runCalibrateLevel,
     "set the level offset from a sound calibrator or a reference meter"},
    {"correction", kavro::cli::runCorrection, "show, clear, switch or import the microphone correction"},
    {"output-profile", kavro::cli::runOutputProfile,
     "show or set what a full-scale signal reaches on each output"},
};

void printUsage(QTextStream& stream) {
    stream << "Usage: kavro-cli COMMAND [ARGS...]\n\nCommands:\n";
    for (const auto& command : kCommands) {
        stream << QString::asprintf("  %-15s %s\n", command.name, command.summary);
    }
    stream
        << "\nkavro-cli COMMAND --help shows the options of a command; kavro-cli --version its version.\n\n"
        << kavro::models::licenceText();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kavro-cli"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    kavro::cli::CommandContext context{out, err, isatty(fileno(stderr)) != 0};

    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.front() == QLatin1String("--help") || args.front() == QLatin1String("help")) {
        printUsage(args.isEmpty() ? err : out);
        return args.isEmpty() ? kavro::cli::kExitUsage : kavro::cli::kExitOk;
    }
    if (args.front() == QLatin1String("--version")) {
        out << kavro::models::versionText(QStringLiteral("kavro-cli"));
        return kavro::cli::kExitOk;
    }
    const QString name = args.takeFirst();
    for (const auto& command : kCommands) {
        if (name == QLatin1String(command.name)) {
            return command.run(args, context);
        }
    }
    kavro::cli::printError(context, QStringLiteral("unknown command \"%1\"").arg(name));
    printUsage(err);
    return kavro::cli::kExitUsage;
}
