#pragma once

#include <cmath>
#include <cstddef>
#include <numbers>
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

} // namespace kavro::testing
