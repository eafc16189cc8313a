// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/AWeightingFilter.h"

#include <cmath>

namespace kavro::dsp {

using namespace weighting;

AWeightingFilter::AWeightingFilter(double sampleRate) : WeightingFilter(sampleRate) {
    design();
}

void AWeightingFilter::design() {
    const double fs = sampleRate();
    if (!(fs > 0.0) || !std::isfinite(fs)) {
        return; // no rate, no filter: process() leaves samples untouched
    }
    if (fs > kLowestExactRate) {
        addHighPass2(kOmega1, fs);
        addHighPass2(kOmega4, fs);
        addLowPass1(kOmega2, fs);
        addLowPass1(kOmega3, fs);
    } else {
        addHighPass2(kOmega1, fs);
        addHighPass1(kOmega2, fs);
        addHighPass1(kOmega3, fs);
    }
    applyGainNormalization(fs);
}

} // namespace kavro::dsp
