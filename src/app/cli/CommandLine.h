#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace kavro::platform {
class AudioBackend;
class PreferencesStore;
} // namespace kavro::platform

namespace kavro::cli {

// Where a command writes: its report to out, errors and progress to err. Commands
// that act on the application's preferences or on real devices use the ones given
// here, and the user's own (QSettings, Qt Multimedia) when none is given: tests run
// them in-process on memory stores and scripted devices.
struct CommandContext {
    QTextStream& out;
    QTextStream& err;
    bool errIsTerminal = false;
    platform::PreferencesStore* preferences = nullptr;
    platform::AudioBackend* audioBackend = nullptr;
};

// Exit codes of every command.
enum ExitCode { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Options and positional arguments of one command line. Options are "--name value"
// or "--name=value" for valued options and "--name" for flags (one dash will do); after
// "--" every argument is positional.
struct ParsedArguments {
    QHash<QString, QString> values;
    QSet<QString> flags;
    QStringList positional;

    bool has(const QString& name) const { return flags.contains(name) || values.contains(name); }
};

// Parses args (QCommandLineParser) against the known flags and valued options; on an
// unknown option, a missing value or a value given to a flag returns a one-line error.
std::optional<QString> parseArguments(const QStringList& args, const QSet<QString>& flags,
                                      const QSet<QString>& valuedOptions, ParsedArguments& parsed);

// Parses the options of a command that takes no positional arguments, with --help
// always known. Returns the exit code to end with (help shown, or a usage error
// printed), or none when the command goes on.
std::optional<int> parseCommandOptions(const QStringList& args, QSet<QString> flags,
                                       const QSet<QString>& valuedOptions, const char* help,
                                       CommandContext& context, ParsedArguments& parsed);

// Reads a number option; the error names the option. Absent options give the fallback.
std::optional<QString> readDouble(const ParsedArguments& parsed, const QString& name, double& value);
std::optional<QString> readInt(const ParsedArguments& parsed, const QString& name, int& value);
// Reads --offset, a calibration offset of 0 to 200 dB.
std::optional<QString> readCalibrationOffset(const ParsedArguments& parsed, double& offsetDb);

// Writes "kavro-cli: <message>" to err.
void printError(CommandContext& context, const QString& message);
// Writes "kavro-cli: warning: <message>" to err: the command goes on.
void printWarning(CommandContext& context, const QString& message);
// Writes a problem a service reported ("[Kavro] Failed to start audio engine: ...") to
// err as it stands, the line the application prints on its console.
void printProblem(CommandContext& context, const QString& consoleLine);

} // namespace kavro::cli
