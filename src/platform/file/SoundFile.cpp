#include "platform/file/SoundFile.h"

#include <QFileInfo>

#include <sndfile.h>

namespace kavro::platform {

std::variant<std::unique_ptr<SoundFile>, QString> SoundFile::open(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("%1: no such file").arg(path);
    }
    if (info.isDir()) {
        return QStringLiteral("%1: is a folder, not a sound file").arg(path);
    }
    if (!info.isReadable()) {
        return QStringLiteral("%1: cannot be read (permission denied)").arg(path);
    }
    SF_INFO sfInfo{};
    SNDFILE* handle = sf_open(QFile::encodeName(path).constData(), SFM_READ, &sfInfo);
    if (!handle) {
        return QStringLiteral("%1: unsupported or damaged sound file (%2)")
            .arg(path, QString::fromLocal8Bit(sf_strerror(nullptr)).trimmed());
    }
    auto file = std::unique_ptr<SoundFile>(new SoundFile());
    file->m_handle = handle;
    file->m_sampleRate = sfInfo.samplerate;
    file->m_channelCount = sfInfo.channels;
    file->m_frameCount = sfInfo.frames;
    if (sfInfo.channels <= 0 || sfInfo.samplerate <= 0) {
        return QStringLiteral("%1: unsupported sound file (no channels or no sample rate)").arg(path);
    }
    if (sfInfo.frames <= 0) {
        return QStringLiteral("%1: the file holds no audio").arg(path);
    }
    return file;
}

SoundFile::~SoundFile() {
    if (m_handle) {
        sf_close(static_cast<SNDFILE*>(m_handle));
    }
}

std::size_t SoundFile::readChannel(int channel, std::span<float> out) {
    if (channel < 0 || channel >= m_channelCount || out.empty()) {
        return 0;
    }
    auto* handle = static_cast<SNDFILE*>(m_handle);
    if (m_channelCount == 1) {
        const sf_count_t read = sf_readf_float(handle, out.data(), static_cast<sf_count_t>(out.size()));
        return read > 0 ? static_cast<std::size_t>(read) : 0;
    }
    m_interleaved.resize(out.size() * static_cast<std::size_t>(m_channelCount));
    const sf_count_t read = sf_readf_float(handle, m_interleaved.data(), static_cast<sf_count_t>(out.size()));
    if (read <= 0) {
        return 0;
    }
    for (sf_count_t frame = 0; frame < read; ++frame) {
        out[static_cast<std::size_t>(frame)] =
            m_interleaved[static_cast<std::size_t>(frame * m_channelCount + channel)];
    }
    return static_cast<std::size_t>(read);
}

bool SoundFile::rewind() {
    return sf_seek(static_cast<SNDFILE*>(m_handle), 0, SEEK_SET) == 0;
}

} // namespace kavro::platform
