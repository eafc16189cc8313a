// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/WeightingFilter.h"

namespace kavro::dsp {

// IEC 61672-1 A-weighting: s⁴ / ((s+ω1)² (s+ω2) (s+ω3) (s+ω4)²), realised as
// high-pass f1, high-pass f4, low-pass f2, low-pass f3, unit gain at 1 kHz.
//
// At rates of 24388.434 Hz and below the 12194 Hz double pole lies above the Nyquist
// frequency and its section would be unstable. There the same shape below the pole
// is built as high-pass f1, high-pass f2, high-pass f3 (s²/(s+ω1)² · s/(s+ω2) ·
// s/(s+ω3)), leaving out only the f4 poles, which act far above the band such a rate
// can carry.
class AWeightingFilter final : public WeightingFilter {
public:
    explicit AWeightingFilter(double sampleRate = 48000.0);

protected:
    void design() override;
};

} // namespace kavro::dsp
