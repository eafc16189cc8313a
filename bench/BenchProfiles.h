// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/MicCorrectionProfile.h"

namespace kavro::bench {

// A 128-tap correction profile for timing the filter; its taps have no zeros.
models::MicCorrectionProfile correctionProfile(double sampleRate);

} // namespace kavro::bench
