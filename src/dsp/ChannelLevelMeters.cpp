// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ChannelLevelMeters.h"

#include <algorithm>

namespace kavro::dsp {

ChannelLevelMeters::ChannelLevelMeters(double sampleRate, std::size_t expectedFrames)
    : m_meters(kMaxChannels, LevelMeter(sampleRate, expectedFrames)) {
    m_channel.reserve(expectedFrames);
}

void ChannelLevelMeters::restart(double sampleRate, std::size_t channelCount) {
    m_channelCount = std::clamp<std::size_t>(channelCount, 1, kMaxChannels);
    for (LevelMeter& meter : m_meters) {
        meter.restart(sampleRate);
    }
}

void ChannelLevelMeters::process(std::span<const float> interleaved, double calibrationOffset, bool silent,
                                 MicCorrectionHook* correction, Readings& readings) {
    const std::size_t stride = m_channelCount;
    if (stride == 1 && !silent) {
        readings[0] = m_meters[0].process(interleaved, calibrationOffset, correction);
        return;
    }
    const std::size_t frames = interleaved.size() / stride;
    m_channel.resize(frames);
    for (std::size_t channel = 0; channel < stride; ++channel) {
        for (std::size_t frame = 0; frame < frames; ++frame) {
            m_channel[frame] = silent ? 0.0f : interleaved[frame * stride + channel];
        }
        readings[channel] = m_meters[channel].process(m_channel, calibrationOffset, correction);
    }
}

} // namespace kavro::dsp
