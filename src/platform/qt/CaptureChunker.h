// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"

#include <QAudioFormat>

#include <cstddef>
#include <vector>

namespace kavro::platform {

// Turns the interleaved bytes a capture device delivers, in whatever sizes and sample
// format it delivers them, into float buffers of exactly one chunk length holding the
// measured channel. Runs on the capture thread: after configure() it never allocates.
class CaptureChunker {
public:
    // The sample format must be UInt8, Int16, Int32 or Float; channel < channelCount.
    void configure(QAudioFormat::SampleFormat sampleFormat, int channelCount, int channel, int framesPerChunk,
                   CaptureCallback callback);
    // Drops a partial chunk and any partial frame, so a restart begins clean.
    void clear();

    // Consumes bytes; calls the callback for every chunk completed.
    void write(const char* data, std::size_t length);

private:
    void consumeFrame(const unsigned char* frame);

    QAudioFormat::SampleFormat m_sampleFormat = QAudioFormat::Float;
    std::size_t m_bytesPerSample = 4;
    std::size_t m_bytesPerFrame = 4;
    std::size_t m_channelOffset = 0;
    CaptureCallback m_callback;
    std::vector<float> m_chunk;
    std::size_t m_filled = 0;
    // A frame split across two writes waits here for its remaining bytes.
    std::vector<unsigned char> m_partialFrame;
    std::size_t m_partialBytes = 0;
};

} // namespace kavro::platform
