// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kavro::dsp {

// The dose rule of the NIOSH recommended exposure limit (see ExposureLimits.h).
namespace dose {

// Hours of listening at levelDb that make up the whole daily allowance: 8 h at 85 dB,
// halved for every 3 dB above, doubled for every 3 dB below. Kept in exactly this
// form (subtract, divide, exp2, divide) so doses match to the last bit wherever
// they are computed.
double allowedHours(double levelDb);

// Fraction of the daily allowance used by `seconds` of listening at levelDb.
double doseFraction(double levelDb, double seconds);

// The inverse of the rule: the steady level that gives `dailyDose` (a fraction of the
// allowance) in 8 hours. A whole allowance is 85 dB; each doubling adds 3 dB.
double equivalentLevelDb(double dailyDose);

} // namespace dose
} // namespace kavro::dsp
