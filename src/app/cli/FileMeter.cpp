// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FileMeter.h"

#include "services/AudioMeasurementService.h"

#include <algorithm>

namespace kavro::cli {

namespace {

// The file is measured in the buffers live capture asks for.
constexpr auto kFramesPerBuffer =
    static_cast<std::size_t>(services::AudioMeasurementService::kFramesPerBuffer);
// The file is read this many buffers at a time.
constexpr std::size_t kBuffersPerRead = 16;

} // namespace

std::variant<std::unique_ptr<FileMeter>, QString> FileMeter::open(const Options& options) {
    auto opened = platform::SoundFile::open(options.path);
    if (auto* error = std::get_if<QString>(&opened)) {
        return *error;
    }
    auto meter = std::unique_ptr<FileMeter>(new FileMeter());
    meter->m_file = std::move(std::get<std::unique_ptr<platform::SoundFile>>(opened));
    const int channels = meter->m_file->channelCount();
    if (options.channel < 0 || options.channel >= channels) {
        return QStringLiteral("%1: channel %2 does not exist (the file has %3 channel%4, numbered from 0)")
            .arg(options.path)
            .arg(options.channel)
            .arg(channels)
            .arg(channels == 1 ? QString() : QStringLiteral("s"));
    }
    meter->m_path = options.path;
    meter->m_channel = options.channel;
    meter->m_calibrationOffset = options.calibrationOffset;
    return meter;
}

std::int64_t FileMeter::run(const BufferHandler& onBuffer) {
    m_meter.restart(m_file->sampleRate());
    m_samples.resize(kFramesPerBuffer * kBuffersPerRead);
    const std::span<const float> samples(m_samples);
    std::int64_t position = 0;
    while (const std::size_t read = m_file->readChannel(m_channel, m_samples)) {
        for (std::size_t first = 0; first < read; first += kFramesPerBuffer) {
            const auto buffer = samples.subspan(first, std::min(kFramesPerBuffer, read - first));
            const dsp::MeterReading reading = m_meter.process(buffer, m_calibrationOffset);
            if (onBuffer) {
                onBuffer(reading, position);
            }
            position += static_cast<std::int64_t>(buffer.size());
        }
    }
    return position;
}

std::optional<QString> FileMeter::cutShortWarning(std::int64_t framesMeasured) const {
    const std::int64_t announced = std::max(m_file->frameCount(), m_file->announcedFrameCount().value_or(0));
    if (framesMeasured >= announced) {
        return std::nullopt;
    }
    const auto seconds = [&](std::int64_t frames) {
        return QString::number(static_cast<double>(frames) / m_file->sampleRate(), 'f', 1);
    };
    return QStringLiteral(
               "%1 is cut short: only %2 s of the %3 s it announces could be read; the results cover "
               "those %2 s")
        .arg(m_path, seconds(framesMeasured), seconds(announced));
}

std::variant<FileCommand, int> openFileCommand(const QStringList& args, CommandContext& context,
                                               const QString& name, const char* help, QSet<QString> flags,
                                               QSet<QString> valuedOptions) {
    FileCommand command;
    flags.insert(QStringLiteral("help"));
    valuedOptions.unite({QStringLiteral("offset"), QStringLiteral("channel")});
    if (auto error = parseArguments(args, flags, valuedOptions, command.parsed)) {
        printError(context, *error);
        return kExitUsage;
    }
    if (command.parsed.has("help")) {
        context.out << help;
        return kExitOk;
    }
    if (command.parsed.positional.size() != 1) {
        printError(context, QStringLiteral("%1 needs exactly one FILE (see kavro-cli %1 --help)").arg(name));
        return kExitUsage;
    }
    command.options.path = command.parsed.positional.front();
    if (auto error = readCalibrationOffset(command.parsed, command.options.calibrationOffset)) {
        printError(context, *error);
        return kExitUsage;
    }
    if (auto error = readInt(command.parsed, "channel", command.options.channel)) {
        printError(context, *error);
        return kExitUsage;
    }
    auto opened = FileMeter::open(command.options);
    if (auto* error = std::get_if<QString>(&opened)) {
        printError(context, *error);
        return kExitFailure;
    }
    command.meter = std::move(std::get<std::unique_ptr<FileMeter>>(opened));
    return command;
}

} // namespace kavro::cli
