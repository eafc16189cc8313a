#include "cli/CommandLine.h"

#include "dsp/LevelMath.h"

#include <QCommandLineParser>

#include <cmath>

namespace kavro::cli {

namespace {

// QCommandLineParser explains a failure in its own English sentence. The commands name
// the option as the user wrote it instead, so this finds the first argument that made
// the parse fail, taking arguments the way the parser does: a valued option written
// without "=" takes the next argument, and "--" ends the options.
QString firstParseFailure(const QStringList& args, const QSet<QString>& flags,
                          const QSet<QString>& valuedOptions) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--")) {
            break;
        }
        if (!arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            continue;
        }
        const qsizetype equals = arg.indexOf(QLatin1Char('='));
        const QString written = equals >= 0 ? arg.left(equals) : arg;
        const QString name = written.mid(written.startsWith(QLatin1String("--")) ? 2 : 1);
        if (valuedOptions.contains(name)) {
            if (equals < 0 && ++i == args.size()) {
                return QStringLiteral("%1 needs a value").arg(written);
            }
        } else if (!flags.contains(name)) {
            return QStringLiteral("unknown option %1").arg(written);
        } else if (equals >= 0) {
            return QStringLiteral("%1 takes no value").arg(written);
        }
    }
    return QString();
}

} // namespace

std::optional<QString> parseArguments(const QStringList& args, const QSet<QString>& flags,
                                      const QSet<QString>& valuedOptions, ParsedArguments& parsed) {
    QCommandLineParser parser;
    // "-json" means "--json": no command has one-letter options to combine.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QString& flag : flags) {
        parser.addOption(QCommandLineOption(flag));
    }
    for (const QString& option : valuedOptions) {
        parser.addOption(QCommandLineOption(option, QString(), option));
    }
    // The parser expects the program's name in front.
    if (!parser.parse(QStringList{QStringLiteral("kavro-cli")} + args)) {
        const QString failure = firstParseFailure(args, flags, valuedOptions);
        return failure.isEmpty() ? parser.errorText() : failure;
    }
    for (const QString& flag : flags) {
        if (parser.isSet(flag)) {
            parsed.flags.insert(flag);
        }
    }
    for (const QString& option : valuedOptions) {
        if (parser.isSet(option)) {
            parsed.values.insert(option, parser.value(option));
        }
    }
    parsed.positional = parser.positionalArguments();
    return std::nullopt;
}

std::optional<int> parseCommandOptions(const QStringList& args, QSet<QString> flags,
                                       const QSet<QString>& valuedOptions, const char* help,
                                       CommandContext& context, ParsedArguments& parsed) {
    flags.insert(QStringLiteral("help"));
    if (auto error = parseArguments(args, flags, valuedOptions, parsed)) {
        printError(context, *error);
        return kExitUsage;
    }
    if (parsed.has("help")) {
        context.out << help;
        return kExitOk;
    }
    if (!parsed.positional.isEmpty()) {
        printError(context,
                   QStringLiteral("unexpected argument \"%1\" (see --help)").arg(parsed.positional.front()));
        return kExitUsage;
    }
    return std::nullopt;
}

std::optional<QString> readDouble(const ParsedArguments& parsed, const QString& name, double& value) {
    if (!parsed.values.contains(name)) {
        return std::nullopt;
    }
    bool ok = false;
    const double number = parsed.values.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        return QStringLiteral("--%1 needs a number, not \"%2\"").arg(name, parsed.values.value(name));
    }
    value = number;
    return std::nullopt;
}

std::optional<QString> readCalibrationOffset(const ParsedArguments& parsed, double& offsetDb) {
    double value = offsetDb;
    if (auto error = readDouble(parsed, QStringLiteral("offset"), value)) {
        return error;
    }
    if (!dsp::level::isPlausibleCalibrationOffset(value)) {
        return QStringLiteral("--offset must lie between %1 and %2 dB, not %3")
            .arg(dsp::level::kMinimumCalibrationOffsetDb)
            .arg(dsp::level::kMaximumCalibrationOffsetDb)
            .arg(parsed.values.value(QStringLiteral("offset")));
    }
    offsetDb = value;
    return std::nullopt;
}

std::optional<QString> readInt(const ParsedArguments& parsed, const QString& name, int& value) {
    if (!parsed.values.contains(name)) {
        return std::nullopt;
    }
    bool ok = false;
    const int number = parsed.values.value(name).toInt(&ok);
    if (!ok) {
        return QStringLiteral("--%1 needs a whole number, not \"%2\"").arg(name, parsed.values.value(name));
    }
    value = number;
    return std::nullopt;
}

void printError(CommandContext& context, const QString& message) {
    context.err << "kavro-cli: " << message << '\n';
    context.err.flush();
}

void printWarning(CommandContext& context, const QString& message) {
    printError(context, QStringLiteral("warning: ") + message);
}

void printProblem(CommandContext& context, const QString& consoleLine) {
    context.err << consoleLine << '\n';
    context.err.flush();
}

} // namespace kavro::cli
