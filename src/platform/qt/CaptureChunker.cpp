// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/CaptureChunker.h"

#include <cstdint>
#include <cstring>

namespace kavro::platform {

namespace {

std::size_t bytesPerSample(QAudioFormat::SampleFormat format) {
    switch (format) {
    case QAudioFormat::UInt8:
        return 1;
    case QAudioFormat::Int16:
        return 2;
    case QAudioFormat::Int32:
    case QAudioFormat::Float:
        return 4;
    default:
        return 0;
    }
}

} // namespace

void CaptureChunker::configure(QAudioFormat::SampleFormat sampleFormat, int channelCount, int channel,
                               int framesPerChunk, CaptureCallback callback) {
    m_sampleFormat = sampleFormat;
    m_bytesPerSample = bytesPerSample(sampleFormat);
    m_bytesPerFrame = m_bytesPerSample * static_cast<std::size_t>(channelCount);
    m_channelOffset = m_bytesPerSample * static_cast<std::size_t>(channel);
    m_callback = std::move(callback);
    m_chunk.assign(static_cast<std::size_t>(framesPerChunk), 0.0f);
    m_partialFrame.assign(m_bytesPerFrame, 0);
    clear();
}

void CaptureChunker::clear() {
    m_filled = 0;
    m_partialBytes = 0;
}

void CaptureChunker::write(const char* data, std::size_t length) {
    if (m_bytesPerFrame == 0 || m_chunk.empty()) {
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    if (m_partialBytes > 0) {
        const std::size_t needed = std::min(m_bytesPerFrame - m_partialBytes, length);
        std::memcpy(m_partialFrame.data() + m_partialBytes, bytes, needed);
        m_partialBytes += needed;
        bytes += needed;
        length -= needed;
        if (m_partialBytes < m_bytesPerFrame) {
            return;
        }
        consumeFrame(m_partialFrame.data());
        m_partialBytes = 0;
    }
    while (length >= m_bytesPerFrame) {
        consumeFrame(bytes);
        bytes += m_bytesPerFrame;
        length -= m_bytesPerFrame;
    }
    if (length > 0) {
        std::memcpy(m_partialFrame.data(), bytes, length);
        m_partialBytes = length;
    }
}

void CaptureChunker::consumeFrame(const unsigned char* frame) {
    const unsigned char* sample = frame + m_channelOffset;
    float value = 0;
    // Full scale is ±1.0 in every format; the device byte order is the machine's.
    switch (m_sampleFormat) {
    case QAudioFormat::UInt8:
        value = (static_cast<float>(*sample) - 128.0f) / 128.0f;
        break;
    case QAudioFormat::Int16: {
        std::int16_t v;
        std::memcpy(&v, sample, sizeof v);
        value = static_cast<float>(v) / 32768.0f;
        break;
    }
    case QAudioFormat::Int32: {
        std::int32_t v;
        std::memcpy(&v, sample, sizeof v);
        value = static_cast<float>(static_cast<double>(v) / 2147483648.0);
        break;
    }
    default:
        std::memcpy(&value, sample, sizeof value);
        break;
    }
    m_chunk[m_filled++] = value;
    if (m_filled == m_chunk.size()) {
        m_filled = 0;
        if (m_callback) {
            m_callback(std::span<const float>(m_chunk));
        }
    }
}

} // namespace kavro::platform
