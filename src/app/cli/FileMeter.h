#pragma once

#include "cli/CommandLine.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/file/SoundFile.h"
#include "platform/file/SoundFileBackend.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"

#include <functional>
#include <memory>
#include <variant>

namespace kavro::cli {

// Measures a sound file through the live measurement service: the file is delivered
// in 1024-frame buffers to the same pipeline a microphone feeds, and every buffer's
// published values are handed to the caller.
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

    // Called after each buffer's update has been published.
    using BufferHandler = std::function<void(const services::AudioMeasurementService& meter,
                                             std::int64_t startFrame, std::size_t frames)>;
    // Runs the whole file. Returns the number of frames measured.
    std::int64_t run(const BufferHandler& onBuffer);

    services::AudioMeasurementService& service() { return *m_service; }

private:
    FileMeter() = default;

    std::unique_ptr<platform::SoundFile> m_file;
    std::unique_ptr<platform::SoundFileBackend> m_backend;
    platform::MemoryPreferencesStore m_preferences;
    std::unique_ptr<services::AudioDeviceManager> m_deviceManager;
    std::unique_ptr<services::AudioMeasurementService> m_service;
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
