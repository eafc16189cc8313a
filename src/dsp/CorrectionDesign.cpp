// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/CorrectionDesign.h"

#include "dsp/HannWindow.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <complex>

namespace kavro::dsp::correction {

namespace {

constexpr float kPowerFloor = 1e-12f;
constexpr float kAmplitudeFloor = 1e-10f;
constexpr float kLogOfAmplitudeFloor = -23.02585f;
constexpr float kSmoothingFraction = 0.12f;
// log10 80 and log10 (16000 / 80): the curve's axis.
constexpr double kLog10CurveStart = 1.9030899869919435;
constexpr double kLog10CurveSpan = 2.3010299956639813;

double binWidth(double sampleRate) {
    return sampleRate / static_cast<double>(kFftSize);
}

} // namespace

std::vector<float> rawCorrection(std::span<const float> accumulatedPower, int frames, double sampleRate) {
    assert(accumulatedPower.size() == kBinCount && frames > 0);
    std::vector<float> correction(kBinCount);
    const float frameCount = static_cast<float>(frames);
    for (std::size_t k = 0; k < kBinCount; ++k) {
        const float average = accumulatedPower[k] / frameCount;
        // Pink noise falls 3 dB per octave in power: its amplitude goes as 1/√k.
        const float reference = k == 0 ? 1.0f : 1.0f / std::sqrt(static_cast<float>(k));
        const float measured = std::sqrt(std::max(average, kPowerFloor));
        correction[k] = reference / std::max(measured, kAmplitudeFloor);
    }

    // Only the shape matters, not the playback level: scale so that the geometric mean
    // over 400 Hz … 16 kHz is 1.
    const auto low = std::max<std::size_t>(static_cast<std::size_t>(819200.0 / sampleRate), 1);
    const auto high = std::min<std::size_t>(static_cast<std::size_t>(32768000.0 / sampleRate), kBinCount - 1);
    if (high > low) {
        double logSum = 0.0;
        for (std::size_t k = low; k <= high; ++k) {
            logSum += correction[k] <= kAmplitudeFloor ? kLogOfAmplitudeFloor : std::log(correction[k]);
        }
        const auto scale = static_cast<float>(std::exp(-logSum / static_cast<double>(high - low + 1)));
        for (float& value : correction) {
            value *= scale;
        }
    }
    return correction;
}

std::vector<float> smoothCorrection(std::span<const float> raw) {
    assert(raw.size() == kBinCount);
    std::vector<float> smoothed(kBinCount);
    smoothed[0] = 1.0f;
    for (std::size_t k = 1; k < kBinCount; ++k) {
        const auto half =
            std::max<std::size_t>(static_cast<std::size_t>(static_cast<float>(k) * kSmoothingFraction), 1);
        const std::size_t low = std::max<std::size_t>(k > half ? k - half : 0, 1);
        const std::size_t high = std::min(k + half, kBinCount - 1);
        double sum = 0.0;
        for (std::size_t i = low; i <= high; ++i) {
            sum += raw[i];
        }
        smoothed[k] = static_cast<float>(sum / static_cast<double>(high - low + 1));
    }
    return smoothed;
}

std::vector<float> inverseOfDeviation(std::span<const DeviationPoint> deviation, double sampleRate) {
    std::vector<float> gains(kBinCount, 1.0f);
    if (deviation.empty()) {
        return gains;
    }
    const double delta = binWidth(sampleRate);
    std::size_t segment = 0;
    for (std::size_t k = 1; k < kBinCount; ++k) {
        const double frequency = static_cast<double>(k) * delta;
        double deviationDB;
        if (frequency <= deviation.front().frequency) {
            deviationDB = deviation.front().deviationDB;
        } else if (frequency >= deviation.back().frequency) {
            deviationDB = deviation.back().deviationDB;
        } else {
            // Bins rise, so the segment only ever moves forward.
            while (deviation[segment + 1].frequency < frequency) {
                ++segment;
            }
            const DeviationPoint& a = deviation[segment];
            const DeviationPoint& b = deviation[segment + 1];
            const double t = std::log(frequency / a.frequency) / std::log(b.frequency / a.frequency);
            deviationDB = a.deviationDB + t * (b.deviationDB - a.deviationDB);
        }
        gains[k] = static_cast<float>(std::pow(10.0, -deviationDB / 20.0));
    }
    return gains;
}

void limitAndTaper(std::span<float> gains, double sampleRate) {
    assert(gains.size() == kBinCount);
    const auto lowest = static_cast<float>(std::pow(10.0, -kMaxCorrectionDB / 20.0));
    const auto highest = static_cast<float>(std::pow(10.0, kMaxCorrectionDB / 20.0));
    for (float& gain : gains) {
        gain = std::clamp(gain, lowest, highest);
    }

    const double delta = binWidth(sampleRate);
    const auto k16 = static_cast<std::size_t>(kFreqHigh / delta);
    const auto kTop = static_cast<std::size_t>(std::min(sampleRate / 2.0, kTaperEnd) / delta);
    for (std::size_t k = 0; k < kBinCount; ++k) {
        const double frequency = static_cast<double>(k) * delta;
        const double gain = gains[k];
        if (frequency < kFreqLow) {
            // Nothing below 80 Hz, and a gradual start up to 400 Hz, so that room modes
            // at the listening position are not "corrected" into the microphone.
            gains[k] = 1.0f;
        } else if (frequency < kBlendEnd) {
            gains[k] =
                static_cast<float>(1.0 + (gain - 1.0) * (frequency - kFreqLow) / (kBlendEnd - kFreqLow));
        } else if (frequency > kFreqHigh && k > k16) {
            if (k >= kTop) {
                gains[k] = 1.0f;
            } else {
                const double fraction = std::max((kTaperEnd - frequency) / (kTaperEnd - kFreqHigh), 0.0);
                gains[k] = static_cast<float>(1.0 + (gain - 1.0) * fraction);
            }
        }
    }
}

std::vector<CurvePoint> curvePoints(std::span<const float> gains, double sampleRate) {
    assert(gains.size() == kBinCount);
    std::vector<CurvePoint> curve;
    curve.reserve(kCurvePointCount);
    for (int i = 0; i < kCurvePointCount; ++i) {
        const double frequency = std::pow(10.0, kLog10CurveStart + static_cast<double>(i) * kLog10CurveSpan /
                                                                       (kCurvePointCount - 1));
        const auto bin = static_cast<long long>(frequency * static_cast<double>(kFftSize) / sampleRate);
        if (bin < 1 || bin >= static_cast<long long>(kBinCount)) {
            continue;
        }
        const double gainDB =
            20.0 * std::log10(std::max(static_cast<double>(gains[static_cast<std::size_t>(bin)]), 1e-10));
        curve.push_back({static_cast<float>(frequency), static_cast<float>(gainDB)});
    }
    return curve;
}

std::vector<float> firTaps(std::span<const float> gains, const RealFft& inverseFft) {
    assert(gains.size() == kBinCount && inverseFft.size() == kFftSize && inverseFft.isValid());
    // Real, even spectrum: a zero-phase impulse response centred on lag 0.
    std::vector<std::complex<float>> spectrum(kBinCount + 1);
    for (std::size_t k = 0; k < kBinCount; ++k) {
        spectrum[k] = gains[k];
    }
    spectrum[kBinCount] = 1.0f;
    std::vector<float> response(kFftSize);
    inverseFft.inverse(spectrum, response);

    // tap[j] = h[|j − 64|]: lag 0 at tap 64, symmetric, so linear phase with 64 samples of delay.
    const std::vector<float> window = normalisedHannWindow(kTapCount);
    const std::size_t centre = kTapCount / 2;
    std::vector<float> taps(kTapCount);
    double sum = 0.0;
    for (std::size_t j = 0; j < kTapCount; ++j) {
        const std::size_t lag = j >= centre ? j - centre : centre - j;
        taps[j] = response[lag] / 1024.0f * window[j];
        sum += taps[j];
    }
    // Unit gain at DC, matching the 0 dB target below 80 Hz.
    if (std::abs(sum) > 1e-6) {
        const auto divisor = static_cast<float>(sum);
        for (float& tap : taps) {
            tap /= divisor;
        }
    }
    return taps;
}

std::optional<Design> finishDesign(std::vector<float> gains, double sampleRate, const RealFft& fft) {
    if (!fft.isValid() || fft.size() != kFftSize) {
        return std::nullopt;
    }
    limitAndTaper(gains, sampleRate);
    Design design;
    design.curve = curvePoints(gains, sampleRate);
    design.taps = firTaps(gains, fft);
    design.gains = std::move(gains);
    return design;
}

std::optional<Design> designFromMeasurement(std::span<const float> accumulatedPower, int frames,
                                            double sampleRate, const RealFft& fft) {
    return finishDesign(smoothCorrection(rawCorrection(accumulatedPower, frames, sampleRate)), sampleRate,
                        fft);
}

std::optional<Design> designFromDeviation(std::span<const DeviationPoint> deviation, double sampleRate,
                                          const RealFft& fft) {
    return finishDesign(inverseOfDeviation(deviation, sampleRate), sampleRate, fft);
}

} // namespace kavro::dsp::correction
