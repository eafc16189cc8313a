// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <variant>
#include <vector>

namespace kavro::platform {

// A sound file read through libsndfile (WAV, FLAC, Ogg, AIFF, ...), one channel at a time.
class SoundFile {
public:
    // The weighting filters are defined up to 20 kHz and designed for the sample rates of
    // audio; far below this a file would give levels of hundreds of decibels.
    static constexpr int kMinimumSampleRate = 8000;

    // Opens a file, or returns a one-line description of why it cannot be read (also a
    // sample rate below kMinimumSampleRate).
    static std::variant<std::unique_ptr<SoundFile>, QString> open(const QString& path);
    ~SoundFile();

    double sampleRate() const { return m_sampleRate; }
    int channelCount() const { return m_channelCount; }
    // The frames that can be read.
    std::int64_t frameCount() const { return m_frameCount; }
    // What the file's header announces when the file holds less (it was cut short by a
    // download or a full disk); none when they agree or the header names no length.
    std::optional<std::int64_t> announcedFrameCount() const { return m_announcedFrameCount; }

    // Reads the next frames of one channel into out; returns how many were read
    // (0 at the end of the file).
    std::size_t readChannel(int channel, std::span<float> out);
    // Goes back to the first frame; false when the file cannot seek.
    bool rewind();
    // Goes to a frame, so that the next read gives exactly what reading from the start
    // would give there; false where that cannot be promised (lossy formats, whose
    // decoders may land near the frame) or the file cannot seek.
    bool seekExactly(std::int64_t frame);

private:
    SoundFile() = default;

    void* m_handle = nullptr; // SNDFILE*
    double m_sampleRate = 0;
    int m_channelCount = 0;
    std::int64_t m_frameCount = 0;
    std::optional<std::int64_t> m_announcedFrameCount;
    bool m_lossless = false;
    std::vector<float> m_interleaved;
};

} // namespace kavro::platform
