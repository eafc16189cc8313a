// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PinkNoiseGenerator.h"

#include <bit>

namespace kavro::dsp {

float PinkNoiseGenerator::whiteFromState(std::uint32_t state) {
    const float f = std::bit_cast<float>(0x3F800000u | (state >> 9));
    return (f - 1.5f) + (f - 1.5f);
}

float PinkNoiseGenerator::next() {
    m_state ^= m_state << 13;
    m_state ^= m_state >> 17;
    m_state ^= m_state << 5;
    const float white = whiteFromState(m_state);

    m_b0 = m_b0 * 0.99886f + white * 0.0555179f;
    m_b1 = m_b1 * 0.99332f + white * 0.0750759f;
    m_b2 = m_b2 * 0.969f + white * 0.153852f;
    m_b3 = m_b3 * 0.8665f + white * 0.3104856f;
    m_b4 = m_b4 * 0.55f + white * 0.5329522f;
    m_b5 = m_b5 * -0.7616f + white * -0.016898f;
    // b6 enters with the previous frame's value before it is replaced.
    const float pink = m_b0 + m_b1 + m_b2 + m_b3 + m_b4 + m_b5 + m_b6 + white * 0.5362f;
    m_b6 = white * 0.115926f;
    return pink * kOutputGain;
}

void PinkNoiseGenerator::render(std::span<float> interleaved, int channelCount) {
    if (channelCount <= 0) {
        return;
    }
    const auto channels = static_cast<std::size_t>(channelCount);
    const std::size_t frames = interleaved.size() / channels;
    float* out = interleaved.data();
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const float sample = next();
        for (std::size_t channel = 0; channel < channels; ++channel) {
            *out++ = sample;
        }
    }
}

} // namespace kavro::dsp
