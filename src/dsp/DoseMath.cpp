#include "dsp/DoseMath.h"

#include <cmath>

namespace kavro::dsp::dose {

double allowedHours(double levelDb) {
    return kCriterionHours / std::exp2((levelDb - kCriterionLevelDb) / kExchangeRateDb);
}

double doseFraction(double levelDb, double seconds) {
    return seconds / (allowedHours(levelDb) * 3600.0);
}

} // namespace kavro::dsp::dose
