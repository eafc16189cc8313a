// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ExposureLimits.h"

#include <cmath>
#include <cstddef>
#include <span>

namespace kavro::dsp {

// The level arithmetic of the meter: calibrated decibels from RMS and peak
// magnitudes of full-scale float samples, with the floors and caps that keep the
// logarithm and the published values in range.
namespace level {

inline constexpr double kRmsFloor = 1e-10;
inline constexpr float kPeakFloor = 1e-10f;
inline constexpr double kSmoothingInputCapDb = 140.0;
inline constexpr double kPeakCapDb = 160.0;
inline constexpr double kNewValueWeight = 0.3;
inline constexpr double kPreviousValueWeight = 0.7;
inline constexpr double kPeakAlertDbc = eu::kPeakLowerActionDbc;

// The calibration offsets a measuring chain can have (the level, in dB SPL, that a
// full-scale sine stands for). Outside them a mistyped or damaged value turns every
// reading into hundreds of decibels and the day's dose into thousands of percent.
inline constexpr double kMinimumCalibrationOffsetDb = 0.0;
inline constexpr double kMaximumCalibrationOffsetDb = 200.0;
inline bool isPlausibleCalibrationOffset(double offsetDb) {
    return offsetDb >= kMinimumCalibrationOffsetDb && offsetDb <= kMaximumCalibrationOffsetDb;
}

// The energy and peak of one buffer: Σx² with every sample widened to double and the
// sum kept in double, in sample order, and the RMS √(Σx²/N) from it; the largest
// absolute sample in single precision.
struct BufferStatistics {
    double sumSquares = 0;
    double rms = 0;
    float peak = 0;
};

// The statistics of `frames` samples from their sum of squares and peak.
inline BufferStatistics statisticsOf(double sumSquares, float peak, std::size_t frames) {
    return {sumSquares, frames ? std::sqrt(sumSquares / static_cast<double>(frames)) : 0.0, peak};
}

// The statistics of two buffers of the same length (the A- and C-weighted samples) in
// one pass, so that the two running sums overlap; each is still summed in order.
void measurePair(std::span<const float> first, std::span<const float> second, BufferStatistics& firstResult,
                 BufferStatistics& secondResult);

// 20·log10(rms) + offset clamped to 0…140, or 0 when the RMS is at the floor: the
// input of the smoothing, and the level of a longer stretch from its mean square.
double rmsLevelDb(double rmsValue, double calibrationOffset);

// The factor that carries a sum of squares measured with one calibration offset over to
// another, so that energies measured before and after an offset change add up.
inline double energyScale(double fromOffsetDb, double toOffsetDb) {
    return fromOffsetDb == toOffsetDb ? 1.0 : std::pow(10.0, (fromOffsetDb - toOffsetDb) / 10.0);
}

// 20·log10(peak) + offset clamped to 0…160, or 0 when the peak is at the floor.
double peakDb(float peakValue, double calibrationOffset);

// One step of the one-pole smoothing of decibel values.
inline double smooth(double previousDb, double inputDb) {
    return kNewValueWeight * inputDb + kPreviousValueWeight * previousDb;
}

} // namespace level
} // namespace kavro::dsp
