// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/OutputsCommand.h"

#include "models/NumberText.h"
#include "platform/OutputTap.h"
#include "services/OutputSource.h"

#include <cmath>

namespace kavro::cli {

namespace {

const char* const kOutputsHelp =
    "Usage: kavro-cli outputs\n"
    "\n"
    "Lists the sound server's outputs that Kavro can measure: name (what meter --output\n"
    "takes), description, active port, volume, mute, what Kavro knows of the device, and\n"
    "the profile that turns its signal into dB SPL. The default output is marked with *.\n";

QString volumeText(const platform::OutputDescription& output) {
    const QString decibels = std::isfinite(output.volumeDb)
                                 ? models::fixedText(output.volumeDb, 2) + QStringLiteral(" dB")
                                 : QStringLiteral("-inf dB");
    return QStringLiteral("%1 % (%2)").arg(models::fixedText(output.volumeFraction * 100.0, 0), decibels);
}

QString flagsText(const platform::OutputDescription& output) {
    QStringList flags;
    flags << (output.hardwareVolume ? QStringLiteral("hardware volume") : QStringLiteral("software volume"));
    if (output.headphones) {
        flags << QStringLiteral("headphones");
    }
    return flags.join(QStringLiteral(", "));
}

void printOutput(CommandContext& context, const platform::OutputDescription& output,
                 const services::OutputSource& source) {
    const services::OutputReference reference = source.referenceOf(output);
    context.out << QStringLiteral("%1 %2  \"%3\"\n")
                       .arg(output.isDefault ? QStringLiteral(" *") : QStringLiteral("  "), output.name,
                            output.description);
    const QString port = output.activePort.isEmpty()
                             ? QStringLiteral("(none)")
                             : QStringLiteral("%1 (%2)").arg(output.activePortDescription, output.activePort);
    context.out << QStringLiteral("     port: %1\n     volume: %2%3\n     flags: %4\n")
                       .arg(port, volumeText(output), output.muted ? QStringLiteral(", muted") : QString(),
                            flagsText(output));
    context.out << QStringLiteral("     profile: %1, %2 dB SPL at full scale%3\n")
                       .arg(reference.displayName, models::fixedText(reference.fullScaleDbSpl, 1),
                            reference.estimated ? QStringLiteral(", estimated") : QString());
}

} // namespace

std::optional<int> selectOutput(const QString& name, services::OutputSource& source,
                                CommandContext& context) {
    if (const auto problem = source.connect()) {
        printError(context, QStringLiteral("cannot measure outputs: ") + *problem);
        return kExitFailure;
    }
    source.setChosenOutput(name);
    if (!source.measuredOutput()) {
        printError(context,
                   name.isEmpty()
                       ? QStringLiteral("the sound server has no default output")
                       : QStringLiteral("no output is named \"%1\" (see kavro-cli outputs)").arg(name));
        return kExitFailure;
    }
    return std::nullopt;
}

QStringList withOutputValue(QStringList args) {
    for (qsizetype index = 0; index < args.size(); ++index) {
        const QString& arg = args[index];
        if (arg == QLatin1String("--")) {
            break;
        }
        const bool bare = arg == QLatin1String("--output") || arg == QLatin1String("-output");
        if (bare && (index + 1 == args.size() || args[index + 1].startsWith(QLatin1Char('-')))) {
            args[index] = QStringLiteral("--output=");
        }
    }
    return args;
}

int runOutputs(const QStringList& args, CommandContext& context) {
    ParsedArguments parsed;
    if (const auto exit = parseCommandOptions(args, {}, {}, kOutputsHelp, context, parsed)) {
        return *exit;
    }
    services::OutputSource source(context.outputTap(), context.outputReferences());
    if (const auto problem = source.connect()) {
        printError(context, QStringLiteral("cannot list outputs: ") + *problem);
        return kExitFailure;
    }
    const QList<platform::OutputDescription> outputs = context.outputTap().outputs();
    if (outputs.isEmpty()) {
        context.out << "(no outputs)\n";
    }
    for (const platform::OutputDescription& output : outputs) {
        printOutput(context, output, source);
    }
    context.out.flush();
    return kExitOk;
}

} // namespace kavro::cli
