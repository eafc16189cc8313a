// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CommandLine.h"

#include "dsp/LevelMath.h"
#include "platform/pulse/PulseOutputTap.h"
#include "platform/qt/QtAudioBackend.h"
#include "platform/qt/SettingsPreferencesStore.h"
#include "services/OutputProfileStore.h"

#include <QCommandLineParser>

#include <cmath>

namespace kavro::cli {

namespace {

// How long the system's audio layer gets to list its devices.
constexpr std::chrono::seconds kDeviceListWait{2};

// QCommandLineParser explains a failure in its own English sentence. The commands name
// the option as the user wrote it instead, so this finds the first argument that made
// the parse fail, taking arguments the way the parser does: a valued option written
// without "=" takes the next argument, and "--" ends the options.
QString firstParseFailure(const QStringList& args, const QSet<QString>& flags,
                          const QSet<QString>& valuedOptions, const OptionAliases& aliases) {
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
        QString name = written.mid(written.startsWith(QLatin1String("--")) ? 2 : 1);
        name = aliases.value(name, name);
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

CommandContext::CommandContext(QTextStream& outStream, QTextStream& errStream, bool errOnTerminal,
                               platform::PreferencesStore* preferences, platform::AudioBackend* audioBackend,
                               platform::OutputTap* outputTap)
    : out(outStream), err(errStream), errIsTerminal(errOnTerminal), m_preferences(preferences),
      m_audioBackend(audioBackend), m_outputTap(outputTap) {}

CommandContext::~CommandContext() = default;

platform::PreferencesStore& CommandContext::preferences() {
    if (!m_preferences) {
        m_ownPreferences = std::make_unique<platform::SettingsPreferencesStore>();
        m_preferences = m_ownPreferences.get();
    }
    return *m_preferences;
}

platform::AudioBackend& CommandContext::audioBackend() {
    if (!m_audioBackend) {
        m_ownAudioBackend = std::make_unique<platform::QtAudioBackend>();
        m_ownAudioBackend->waitForDeviceLists(kDeviceListWait);
        m_audioBackend = m_ownAudioBackend.get();
    }
    return *m_audioBackend;
}

platform::OutputTap& CommandContext::outputTap() {
    if (!m_outputTap) {
        m_ownOutputTap = std::make_unique<platform::PulseOutputTap>();
        m_outputTap = m_ownOutputTap.get();
    }
    return *m_outputTap;
}

const services::OutputReferenceSource& CommandContext::outputReferences() {
    if (!m_outputReferences) {
        // The profiles the program stores, so that the terminal and the program agree.
        m_outputReferences =
            std::make_unique<services::OutputProfileStore>(platform::Settings(preferences()));
    }
    return *m_outputReferences;
}

std::optional<QString> parseArguments(const QStringList& args, const QSet<QString>& flags,
                                      const QSet<QString>& valuedOptions, ParsedArguments& parsed,
                                      const OptionAliases& aliases) {
    QCommandLineParser parser;
    // "-json" means "--json": no command has one-letter options to combine.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const QString& flag : flags) {
        parser.addOption(QCommandLineOption(flag));
    }
    for (const QString& option : valuedOptions) {
        parser.addOption(QCommandLineOption(QStringList{option} + aliases.keys(option), QString(), option));
    }
    // The parser expects the program's name in front.
    if (!parser.parse(QStringList{QStringLiteral("kavro-cli")} + args)) {
        const QString failure = firstParseFailure(args, flags, valuedOptions, aliases);
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
                                       const QSet<QString>& valuedOptions, const QString& help,
                                       CommandContext& context, ParsedArguments& parsed,
                                       const OptionAliases& aliases) {
    flags.insert(QStringLiteral("help"));
    if (auto error = parseArguments(args, flags, valuedOptions, parsed, aliases)) {
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

std::optional<QString> readSeconds(const ParsedArguments& parsed, double& seconds) {
    double value = seconds;
    if (auto error = readDouble(parsed, QStringLiteral("seconds"), value)) {
        return error;
    }
    if (parsed.values.contains(QStringLiteral("seconds")) && !(value > 0)) {
        return QStringLiteral("--seconds must be above 0");
    }
    seconds = value;
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
