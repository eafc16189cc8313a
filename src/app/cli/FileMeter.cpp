#include "cli/FileMeter.h"

#include <QCoreApplication>

namespace kavro::cli {

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
    meter->m_backend = std::make_unique<platform::SoundFileBackend>(*meter->m_file, options.channel);
    meter->m_deviceManager =
        std::make_unique<services::AudioDeviceManager>(*meter->m_backend, meter->m_preferences);
    meter->m_service = std::make_unique<services::AudioMeasurementService>(
        *meter->m_backend, *meter->m_deviceManager, options.calibrationOffset);
    return meter;
}

std::int64_t FileMeter::run(const BufferHandler& onBuffer) {
    m_service->start();
    std::int64_t position = 0;
    while (m_service->isRunning()) {
        const std::size_t frames = m_backend->pump();
        if (frames == 0) {
            break;
        }
        // The pipeline posted its update to this (the main) thread: deliver it now.
        // Delivering for every receiver, not just the service, lets Qt drop the spent
        // entries of its queue; delivering for one receiver leaves them in place and
        // every later call walks them all again, which made long files crawl.
        QCoreApplication::sendPostedEvents();
        if (onBuffer) {
            onBuffer(*m_service, position, frames);
        }
        position += static_cast<std::int64_t>(frames);
    }
    m_service->stop();
    return position;
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
    if (auto error = readDouble(command.parsed, "offset", command.options.calibrationOffset)) {
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
