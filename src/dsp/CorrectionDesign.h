// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/RealFft.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace kavro::dsp {

// From a target gain per FFT bin to a microphone correction: the ±9 dB limit, the
// blends that leave room modes and the top octave alone, the display curve and the
// 128-tap linear-phase FIR. The response measurement and the import of calibration
// files both end here, so the two always produce the same kind of filter.
namespace correction {

inline constexpr std::size_t kFftSize = 2048;
inline constexpr std::size_t kBinCount = kFftSize / 2;
inline constexpr std::size_t kTapCount = 128;
inline constexpr float kMaxCorrectionDB = 9.0f;
inline constexpr double kFreqLow = 80.0;
inline constexpr double kBlendEnd = 400.0;
inline constexpr double kFreqHigh = 16000.0;
// Half an octave above 16 kHz, where the high taper reaches 0 dB.
inline constexpr double kTaperEnd = 22627.41699796952;
inline constexpr int kCurvePointCount = 64;

struct CurvePoint {
    float frequency = 0; // Hz
    float gainDB = 0;
};

struct Design {
    std::vector<float> gains;      // final linear gain per bin, kBinCount values
    std::vector<CurvePoint> curve; // ascending frequency, 80 Hz … 16 kHz
    std::vector<float> taps;       // kTapCount, symmetric about tap 64
};

// Measurement: the raw inverse response relative to pink noise from the summed power
// spectra of `frames` frames, normalised to a geometric mean of 1 over 400 Hz … 16 kHz.
std::vector<float> rawCorrection(std::span<const float> accumulatedPower, int frames, double sampleRate);
// Measurement: mean of linear gains over ±12 % of each bin's frequency (at least ±1 bin).
std::vector<float> smoothCorrection(std::span<const float> raw);

// One point of a microphone's published deviation from flat.
struct DeviationPoint {
    double frequency = 0; // Hz, > 0, ascending
    double deviationDB = 0;
};
// Calibration file: the inverse of the deviation at every bin, interpolated on a
// logarithmic frequency axis and held flat beyond the first and last points.
std::vector<float> inverseOfDeviation(std::span<const DeviationPoint> deviation, double sampleRate);

// The shared tail: limit to ±9 dB, the 80–400 Hz blend and the high taper.
void limitAndTaper(std::span<float> gains, double sampleRate);
// 64 log-spaced points from 80 Hz to 16 kHz; points whose bin lies beyond the spectrum are left out.
std::vector<CurvePoint> curvePoints(std::span<const float> gains, double sampleRate);
// Zero-phase inverse FFT, 128 taps around lag 0, windowed and scaled to unit DC gain.
std::vector<float> firTaps(std::span<const float> gains, const RealFft& inverseFft);

// limitAndTaper, curvePoints and firTaps in one; none when the FFT is not usable.
std::optional<Design> finishDesign(std::vector<float> gains, double sampleRate, const RealFft& fft);

// The two roads into the shared tail.
std::optional<Design> designFromMeasurement(std::span<const float> accumulatedPower, int frames,
                                            double sampleRate, const RealFft& fft);
std::optional<Design> designFromDeviation(std::span<const DeviationPoint> deviation, double sampleRate,
                                          const RealFft& fft);

} // namespace correction
} // namespace kavro::dsp
