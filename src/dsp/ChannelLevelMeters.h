// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/LevelMeter.h"

#include <array>
#include <cstddef>
#include <span>
#include <vector>

namespace kavro::dsp {

// One level meter per channel of an interleaved stream: what each ear of a pair of
// headphones receives is measured on its own. A single channel is measured as it
// comes, exactly as by one LevelMeter.
class ChannelLevelMeters {
public:
    // Channels beyond these are not measured (no output has more ears to reach).
    static constexpr std::size_t kMaxChannels = 8;
    using Readings = std::array<MeterReading, kMaxChannels>;

    explicit ChannelLevelMeters(double sampleRate = 48000.0, std::size_t expectedFrames = 1024);

    double sampleRate() const { return m_meters.front().sampleRate(); }
    std::size_t channelCount() const { return m_channelCount; }

    // Retunes and clears every meter for a stream of that many channels. Allocates: call
    // before buffers flow.
    void restart(double sampleRate, std::size_t channelCount);

    // Measures the next interleaved buffer, channel c into readings[c]. Silent measures
    // silence in its place (a muted output reaches no ear), keeping the filters running.
    void process(std::span<const float> interleaved, double calibrationOffset, bool silent,
                 MicCorrectionHook* correction, Readings& readings);

private:
    std::vector<LevelMeter> m_meters;
    std::size_t m_channelCount = 1;
    std::vector<float> m_channel;
};

} // namespace kavro::dsp
