// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
#include <random>
#include <vector>

namespace kavro::testing {

// One capture buffer of a sine starting at phase zero, in full-scale units.
inline std::vector<float> sineBuffer(double frequency, double amplitude, double sampleRate,
                                     std::size_t frames) {
    std::vector<float> samples(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        samples[i] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * double(i) / sampleRate));
    }
    return samples;
}

// Uniform white noise in [-amplitude, amplitude), the same for the same seed.
inline std::vector<float> randomSignal(std::size_t length, unsigned seed, float amplitude = 1.0f) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-amplitude, amplitude);
    std::vector<float> values(length);
    for (float& value : values) {
        value = distribution(generator);
    }
    return values;
}

} // namespace kavro::testing
