// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <vector>

namespace kavro::dsp {

// The periodic Hann window in its normalised form, w[n] = 0.8165·(1 − cos(2πn/N)) for
// n = 0 … N − 1: zero at n = 0, peak at N/2. The constant scale cancels wherever the
// window is used, but it is kept so that figures match the normalised form everywhere.
std::vector<float> normalisedHannWindow(std::size_t length);

} // namespace kavro::dsp
