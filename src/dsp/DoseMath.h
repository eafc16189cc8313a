#pragma once

namespace kavro::dsp {

// The NIOSH recommended exposure limit: 85 dBA for 8 hours with a 3 dB exchange rate,
// and nothing counted below 80 dBA.
namespace dose {

inline constexpr double kCriterionLevelDb = 85.0;
inline constexpr double kCriterionHours = 8.0;
inline constexpr double kExchangeRateDb = 3.0;
inline constexpr double kThresholdDb = 80.0;

// Hours of listening at levelDb that make up the whole daily allowance: 8 h at 85 dB,
// halved for every 3 dB above, doubled for every 3 dB below. Kept in exactly this
// form (subtract, divide, exp2, divide) so doses match to the last bit wherever
// they are computed.
double allowedHours(double levelDb);

// Fraction of the daily allowance used by `seconds` of listening at levelDb.
double doseFraction(double levelDb, double seconds);

} // namespace dose
} // namespace kavro::dsp
