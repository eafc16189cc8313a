// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"
#include "dsp/LevelMeter.h"
#include "platform/file/SoundFile.h"

#include <functional>
#include <memory>
#include <variant>
#include <vector>

namespace kavro::cli {

// Measures a sound file with the level meter the live capture uses, in the buffers of
// live capture (1024 frames, in order), as fast as the file can be read, and hands
// every buffer's reading to the caller.
class FileMeter {
public:
    struct Options {
        QString path;
        int channel = 0;
        double calibrationOffset = 94.0;
    };

    // Opens the file, or returns a one-line error (missing, unreadable, unsupported,
    // empty, channel out of range).
    static std::variant<std::unique_ptr<FileMeter>, QString> open(const Options& options);

    double sampleRate() const { return m_file->sampleRate(); }
    std::int64_t frameCount() const { return m_file->frameCount(); }
    int channelCount() const { return m_file->channelCount(); }

    double calibrationOffset() const { return m_calibrationOffset; }

    // Called for each buffer, in file order, with the frame at which it starts.
    using BufferHandler = std::function<void(const dsp::MeterReading& reading, std::int64_t startFrame)>;
    // Runs the whole file from its start. Returns the number of frames measured.
    std::int64_t run(const BufferHandler& onBuffer);
    // After run(): when the file held less audio than it announces (it was cut short), a
    // warning that says how much was measured; none otherwise.
    std::optional<QString> cutShortWarning(std::int64_t framesMeasured) const;

    // The meter, as the last buffer left it (see LevelMeter::measure).
    const dsp::LevelMeter& meter() const { return m_meter; }

private:
    FileMeter() = default;

    std::unique_ptr<platform::SoundFile> m_file;
    QString m_path;
    int m_channel = 0;
    double m_calibrationOffset = 0;
    dsp::LevelMeter m_meter;
    std::vector<float> m_samples;
};

// The common front of the commands that measure one file: FILE, --offset, --channel
// and --help plus the command's own flags and valued options. Either the parsed line
// and the opened meter, or the exit code of a command that is already done (help
// shown, or a usage or file error printed).
struct FileCommand {
    ParsedArguments parsed;
    FileMeter::Options options;
    std::unique_ptr<FileMeter> meter;
};
std::variant<FileCommand, int> openFileCommand(const QStringList& args, CommandContext& context,
                                               const QString& name, const char* help, QSet<QString> flags,
                                               QSet<QString> valuedOptions);

} // namespace kavro::cli
