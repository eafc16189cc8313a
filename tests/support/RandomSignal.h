#pragma once

#include <random>
#include <vector>

namespace kavro::testsupport {

// Uniform white noise in [-1, 1), the same for the same seed.
inline std::vector<float> randomSignal(std::size_t length, unsigned seed) {
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-1.0f, 1.0f);
    std::vector<float> values(length);
    for (float& value : values) {
        value = distribution(generator);
    }
    return values;
}

} // namespace kavro::testsupport
