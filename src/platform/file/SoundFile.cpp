// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file/SoundFile.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sndfile.h>

namespace kavro::platform {

namespace {

// Bytes per frame of an uncompressed format; none for the others.
std::optional<std::int64_t> bytesPerFrame(const SF_INFO& info) {
    int bytesPerSample = 0;
    switch (info.format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        bytesPerSample = 1;
        break;
    case SF_FORMAT_PCM_16:
        bytesPerSample = 2;
        break;
    case SF_FORMAT_PCM_24:
        bytesPerSample = 3;
        break;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        bytesPerSample = 4;
        break;
    case SF_FORMAT_DOUBLE:
        bytesPerSample = 8;
        break;
    default:
        return std::nullopt;
    }
    return std::int64_t(bytesPerSample) * info.channels;
}

// libsndfile reads as much of a cut file as there is and notes in its log what the header
// had announced: "data : 2880000 (should be 999956)" (WAV), "SSND : ..." (AIFF).
std::optional<std::int64_t> announcedFrames(SNDFILE* handle, const SF_INFO& info) {
    const auto frameBytes = bytesPerFrame(info);
    if (!frameBytes) {
        return std::nullopt;
    }
    char log[8192] = {};
    sf_command(handle, SFC_GET_LOG_INFO, log, sizeof log);
    static const QRegularExpression kCutChunk(
        QStringLiteral("^(?:data|SSND) *: *(\\d+) *\\(should be (\\d+)\\)"),
        QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = kCutChunk.match(QString::fromLatin1(log));
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const qint64 announcedBytes = match.captured(1).toLongLong();
    const qint64 presentBytes = match.captured(2).toLongLong();
    // Writers that stream (to a pipe) put 0 or the largest value there: no length at all.
    if (announcedBytes <= presentBytes || announcedBytes >= 0xFFFFFFF0LL) {
        return std::nullopt;
    }
    return announcedBytes / *frameBytes;
}

} // namespace

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
    if (sfInfo.samplerate < kMinimumSampleRate) {
        return QStringLiteral("%1: the sample rate of %2 Hz is too low to measure (at least %3 Hz is needed)")
            .arg(path)
            .arg(sfInfo.samplerate)
            .arg(kMinimumSampleRate);
    }
    if (sfInfo.frames <= 0) {
        return QStringLiteral("%1: the file holds no audio").arg(path);
    }
    file->m_announcedFrameCount = announcedFrames(handle, sfInfo);
    const int subtype = sfInfo.format & SF_FORMAT_SUBMASK;
    file->m_lossless = bytesPerFrame(sfInfo).has_value() ||
                       (sfInfo.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC ||
                       subtype == SF_FORMAT_ALAC_16 || subtype == SF_FORMAT_ALAC_20 ||
                       subtype == SF_FORMAT_ALAC_24 || subtype == SF_FORMAT_ALAC_32;
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

bool SoundFile::seekExactly(std::int64_t frame) {
    return m_lossless && frame >= 0 && sf_seek(static_cast<SNDFILE*>(m_handle), frame, SEEK_SET) == frame;
}

} // namespace kavro::platform
