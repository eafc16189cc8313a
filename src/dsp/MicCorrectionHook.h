// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

namespace kavro::dsp {

// The microphone correction as the level meter sees it: applied in place to every
// buffer before weighting, on the capture thread. It must never wait; it may leave
// the samples unchanged (switched off, busy, or made for another rate).
class MicCorrectionHook {
public:
    virtual ~MicCorrectionHook() = default;
    virtual void apply(std::span<float> samples, double sampleRate) = 0;
};

} // namespace kavro::dsp
