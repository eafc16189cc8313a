// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/HannWindow.h"

#include <cmath>
#include <numbers>

namespace kavro::dsp {

std::vector<float> normalisedHannWindow(std::size_t length) {
    std::vector<float> window(length);
    for (std::size_t n = 0; n < length; ++n) {
        const double phase = 2.0 * std::numbers::pi * static_cast<double>(n) / static_cast<double>(length);
        window[n] = static_cast<float>(0.8165 * (1.0 - std::cos(phase)));
    }
    return window;
}

} // namespace kavro::dsp
