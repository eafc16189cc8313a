#include "cli/CommandLine.h"

#include <cmath>

namespace kavro::cli {

std::optional<QString> parseArguments(const QStringList& args, const QSet<QString>& flags,
                                      const QSet<QString>& valuedOptions, ParsedArguments& parsed) {
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (!arg.startsWith(QLatin1String("--")) || arg == QLatin1String("--")) {
            parsed.positional.append(arg);
            continue;
        }
        QString name = arg.mid(2);
        std::optional<QString> inlineValue;
        if (const qsizetype equals = name.indexOf(QLatin1Char('=')); equals >= 0) {
            inlineValue = name.mid(equals + 1);
            name = name.left(equals);
        }
        if (flags.contains(name)) {
            if (inlineValue) {
                return QStringLiteral("--%1 takes no value").arg(name);
            }
            parsed.flags.insert(name);
        } else if (valuedOptions.contains(name)) {
            if (inlineValue) {
                parsed.values.insert(name, *inlineValue);
            } else if (i + 1 < args.size()) {
                parsed.values.insert(name, args.at(++i));
            } else {
                return QStringLiteral("--%1 needs a value").arg(name);
            }
        } else {
            return QStringLiteral("unknown option --%1").arg(name);
        }
    }
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

} // namespace kavro::cli
