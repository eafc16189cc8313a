// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/WeightingFilter.h"

namespace kavro::dsp {

// IEC 61672-1 C-weighting: s² / ((s+ω1)² (s+ω4)²), realised as high-pass f1 and
// low-pass f4, unit gain at 1 kHz. At rates of 24388.434 Hz and below the f4 low-pass
// cannot be held and is left out; it acts only far above the band such a rate carries.
class CWeightingFilter final : public WeightingFilter {
public:
    explicit CWeightingFilter(double sampleRate = 48000.0);

protected:
    void design() override;
};

} // namespace kavro::dsp
