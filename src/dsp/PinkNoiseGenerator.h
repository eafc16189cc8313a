// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace kavro::dsp {

// The test signal of the calibration flow: xorshift white noise through Paul Kellet's
// refined pink-noise filter bank, scaled by a fixed gain. All arithmetic is 32-bit
// float in a fixed order, so every fresh generator yields the same sequence on every
// machine. It allocates nothing and takes no lock: it runs on the render thread.
class PinkNoiseGenerator {
public:
    static constexpr std::uint32_t kSeed = 0x1234ABCDu;
    static constexpr float kOutputGain = 0.11f;

    // The next output sample.
    float next();

    // Fills interleaved frames, the same sample in every channel of a frame.
    void render(std::span<float> interleaved, int channelCount);

    // The raw white value for an xorshift state: its 23 high bits as the mantissa of
    // a float in [1, 2), mapped to [-1, 1).
    static float whiteFromState(std::uint32_t state);

private:
    std::uint32_t m_state = kSeed;
    float m_b0 = 0, m_b1 = 0, m_b2 = 0, m_b3 = 0, m_b4 = 0, m_b5 = 0, m_b6 = 0;
};

} // namespace kavro::dsp
