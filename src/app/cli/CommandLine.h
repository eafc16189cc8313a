// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <optional>

namespace kavro::platform {
class AudioBackend;
class OutputTap;
class PreferencesStore;
class PulseOutputTap;
class QtAudioBackend;
class SettingsPreferencesStore;
} // namespace kavro::platform

namespace kavro::services {
class OutputReferenceSource;
}

namespace kavro::cli {

// What a command works with: its report goes to out, errors and progress to err; the
// application's preferences and the audio devices are the ones given here, else the
// user's own (QSettings, Qt Multimedia), opened on first use. Tests run the commands
// in-process on memory stores and scripted devices.
class CommandContext {
public:
    CommandContext(QTextStream& outStream, QTextStream& errStream, bool errOnTerminal = false,
                   platform::PreferencesStore* preferences = nullptr,
                   platform::AudioBackend* audioBackend = nullptr, platform::OutputTap* outputTap = nullptr);
    ~CommandContext();
    CommandContext(const CommandContext&) = delete;
    CommandContext& operator=(const CommandContext&) = delete;

    QTextStream& out;
    QTextStream& err;
    const bool errIsTerminal;

    platform::PreferencesStore& preferences();
    // The system's backend is made with its device lists read, so a command sees the
    // devices at once.
    platform::AudioBackend& audioBackend();
    // What goes to the outputs (the sound server's, not yet connected) and the
    // references that turn an output's signal into dB SPL.
    platform::OutputTap& outputTap();
    const services::OutputReferenceSource& outputReferences();

private:
    platform::PreferencesStore* m_preferences;
    platform::AudioBackend* m_audioBackend;
    std::unique_ptr<platform::SettingsPreferencesStore> m_ownPreferences;
    std::unique_ptr<platform::QtAudioBackend> m_ownAudioBackend;
    platform::OutputTap* m_outputTap;
    std::unique_ptr<platform::PulseOutputTap> m_ownOutputTap;
    std::unique_ptr<services::OutputReferenceSource> m_outputReferences;
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

// Other names an option is also known by: alias to name. Each command shows one name
// in its help; older or shorter spellings keep working.
using OptionAliases = QHash<QString, QString>;

// Parses args (QCommandLineParser) against the known flags and valued options (and
// their aliases, stored under the option's own name); on an unknown option, a missing
// value or a value given to a flag returns a one-line error.
std::optional<QString> parseArguments(const QStringList& args, const QSet<QString>& flags,
                                      const QSet<QString>& valuedOptions, ParsedArguments& parsed,
                                      const OptionAliases& aliases = {});

// Parses the options of a command that takes no positional arguments, with --help
// always known. Returns the exit code to end with (help shown, or a usage error
// printed), or none when the command goes on.
std::optional<int> parseCommandOptions(const QStringList& args, QSet<QString> flags,
                                       const QSet<QString>& valuedOptions, const QString& help,
                                       CommandContext& context, ParsedArguments& parsed,
                                       const OptionAliases& aliases = {});

// Reads a number option; the error names the option. Absent options give the fallback.
std::optional<QString> readDouble(const ParsedArguments& parsed, const QString& name, double& value);
std::optional<QString> readInt(const ParsedArguments& parsed, const QString& name, int& value);
// Reads --seconds, a duration above 0; absent, the value stays as it was.
std::optional<QString> readSeconds(const ParsedArguments& parsed, double& seconds);
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
