// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kavro::dsp {

// The published limits every exposure figure of the program is measured against, in
// one place so that the dose, the peak counters, the alerts and the history colours
// can never disagree about them.

// The NIOSH recommended exposure limit: 85 dBA for 8 hours with a 3 dB exchange rate,
// and nothing counted below 80 dBA.
namespace niosh {

inline constexpr double kCriterionLevelDb = 85.0;
inline constexpr double kCriterionHours = 8.0;
inline constexpr double kExchangeRateDb = 3.0;
inline constexpr double kThresholdDb = 80.0;

} // namespace niosh

// EU Directive 2003/10/EC on noise at work. The peak values are C-weighted sound
// pressure peaks; the exposure levels are daily or weekly 8-hour equivalents.
namespace eu {

// Lower and upper exposure action values and the exposure limit value for peaks.
inline constexpr double kPeakLowerActionDbc = 135.0;
inline constexpr double kPeakUpperActionDbc = 137.0;
inline constexpr double kPeakLimitDbc = 140.0;
// The instantaneous A-weighted ceiling.
inline constexpr double kInstantaneousPeakDba = 115.0;
// Lower and upper exposure action values of the daily or weekly exposure level.
inline constexpr double kLowerActionLevelDb = 80.0;
inline constexpr double kUpperActionLevelDb = 85.0;

} // namespace eu
} // namespace kavro::dsp
