// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/DoseMath.h"

#include "dsp/ExposureLimits.h"

#include <cmath>

namespace kavro::dsp::dose {

double allowedHours(double levelDb) {
    return niosh::kCriterionHours / std::exp2((levelDb - niosh::kCriterionLevelDb) / niosh::kExchangeRateDb);
}

double doseFraction(double levelDb, double seconds) {
    return seconds / (allowedHours(levelDb) * 3600.0);
}

double equivalentLevelDb(double dailyDose) {
    return niosh::kCriterionLevelDb + niosh::kExchangeRateDb * std::log2(dailyDose);
}

} // namespace kavro::dsp::dose
