// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/CWeightingFilter.h"

#include <cmath>

namespace kavro::dsp {

using namespace weighting;

CWeightingFilter::CWeightingFilter(double sampleRate) : WeightingFilter(sampleRate) {
    design();
}

void CWeightingFilter::design() {
    const double fs = sampleRate();
    if (!(fs > 0.0) || !std::isfinite(fs)) {
        return;
    }
    addHighPass2(kOmega1, fs);
    if (fs > kLowestExactRate) {
        addLowPass2(kOmega4, fs);
    }
    applyGainNormalization(fs);
}

} // namespace kavro::dsp
