// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/CalibratorTone.h"

#include "dsp/HannWindow.h"
#include "dsp/RealFft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace kavro::dsp::calibrator {

namespace {

// The stretches are about a sixth of a second: short enough to see a fading tone,
// long enough to resolve 1 kHz within a few hertz.
constexpr double kStretchesPerSecond = 6.0;
// The bins either side of the strongest one that count as the tone: the Hann window's
// main lobe and its nearest side lobes.
constexpr std::size_t kToneHalfWidthBins = 4;
// Rumble and a DC offset of the input are not sounds that disturb a calibration.
constexpr double kLowestCountedHz = 20.0;

std::size_t stretchLength(double sampleRate) {
    std::size_t length = 1024;
    while (static_cast<double>(length) * kStretchesPerSecond < sampleRate) {
        length *= 2;
    }
    return length;
}

struct Spectrum {
    std::vector<double> power; // summed over the stretches, per bin
    std::vector<double> stretchLevels;
};

Spectrum analyse(std::span<const float> samples, std::size_t length) {
    const RealFft fft(length);
    const std::vector<float> window = normalisedHannWindow(length);
    std::vector<float> windowed(length);
    std::vector<std::complex<float>> bins(length / 2 + 1);
    Spectrum result{std::vector<double>(bins.size(), 0.0), {}};
    for (std::size_t start = 0; start + length <= samples.size(); start += length) {
        double sumSquares = 0;
        for (std::size_t i = 0; i < length; ++i) {
            const float sample = samples[start + i];
            sumSquares += static_cast<double>(sample) * sample;
            windowed[i] = sample * window[i];
        }
        result.stretchLevels.push_back(meanSquareDbfs(sumSquares, length));
        fft.forward(windowed, bins);
        for (std::size_t k = 0; k < bins.size(); ++k) {
            result.power[k] += std::norm(bins[k]);
        }
    }
    return result;
}

// The frequency of the peak at bin k, between bins, from the logarithms of it and its
// neighbours (a Gaussian fit, close to exact for the Hann window).
double peakFrequency(const std::vector<double>& power, std::size_t k, double binHz) {
    if (k == 0 || k + 1 >= power.size() || power[k - 1] <= 0 || power[k + 1] <= 0) {
        return static_cast<double>(k) * binHz;
    }
    const double left = std::log(power[k - 1]);
    const double centre = std::log(power[k]);
    const double right = std::log(power[k + 1]);
    const double curvature = left - 2 * centre + right;
    const double shift = curvature < 0 ? 0.5 * (left - right) / curvature : 0.0;
    return (static_cast<double>(k) + shift) * binHz;
}

double spreadOf(const std::vector<double>& levels) {
    double mean = 0;
    for (const double level : levels) {
        mean += level;
    }
    mean /= static_cast<double>(levels.size());
    double spread = 0;
    for (const double level : levels) {
        spread = std::max(spread, std::abs(level - mean));
    }
    return spread;
}

// The tone found in the spectrum, its level set from all samples.
Tone toneOf(const Spectrum& spectrum, double binHz) {
    const auto firstCounted = static_cast<std::size_t>(std::ceil(kLowestCountedHz / binHz));
    const auto begin = spectrum.power.begin() + static_cast<std::ptrdiff_t>(firstCounted);
    const auto peak =
        static_cast<std::size_t>(std::max_element(begin, spectrum.power.end()) - spectrum.power.begin());
    const std::size_t low = std::max(firstCounted, peak - std::min(peak, kToneHalfWidthBins));
    const std::size_t high = std::min(spectrum.power.size() - 1, peak + kToneHalfWidthBins);
    double tonePower = 0;
    double otherPower = 0;
    for (std::size_t k = firstCounted; k < spectrum.power.size(); ++k) {
        (k >= low && k <= high ? tonePower : otherPower) += spectrum.power[k];
    }
    Tone tone;
    tone.frequencyHz = peakFrequency(spectrum.power, peak, binHz);
    tone.spreadDb = spreadOf(spectrum.stretchLevels);
    tone.otherSoundsDb = tonePower > 0 ? 10 * std::log10(std::max(otherPower, 1e-30) / tonePower) : 0.0;
    return tone;
}

std::optional<Refusal> refusalFor(const Tone& tone) {
    if (tone.levelDbfs <= kSilenceDbfs || tone.otherSoundsDb >= 0) {
        return Refusal::noTone;
    }
    if (std::abs(tone.frequencyHz - kNominalFrequencyHz) > kNominalFrequencyHz * kFrequencyTolerance) {
        return Refusal::wrongFrequency;
    }
    if (tone.otherSoundsDb > -kOtherSoundsBelowDb) {
        return Refusal::otherSoundsTooLoud;
    }
    if (tone.spreadDb > kSteadinessDb) {
        return Refusal::unsteadyLevel;
    }
    return std::nullopt;
}

} // namespace

double meanSquareDbfs(double sumSquares, std::size_t frames) {
    if (frames == 0 || sumSquares <= 0) {
        return kSilenceDbfs;
    }
    return std::max(kSilenceDbfs, 10 * std::log10(sumSquares / static_cast<double>(frames)));
}

ToneCheck checkTone(std::span<const float> samples, double sampleRate) {
    const std::size_t length = stretchLength(sampleRate);
    if (sampleRate <= 0 || samples.size() < 2 * length) {
        return {std::nullopt, Refusal::noTone};
    }
    const Spectrum spectrum = analyse(samples, length);
    Tone tone = toneOf(spectrum, sampleRate / static_cast<double>(length));
    double sumSquares = 0;
    for (const float sample : samples) {
        sumSquares += static_cast<double>(sample) * sample;
    }
    tone.levelDbfs = meanSquareDbfs(sumSquares, samples.size());
    const std::optional<Refusal> refusal = refusalFor(tone);
    if (refusal == Refusal::noTone) {
        return {std::nullopt, refusal};
    }
    return {tone, refusal};
}

double offsetFor(double calibratorDb, double measuredDbfs) {
    return std::round((calibratorDb - measuredDbfs) * 10.0) / 10.0;
}

} // namespace kavro::dsp::calibrator
