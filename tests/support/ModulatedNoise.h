// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/RealFft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <random>
#include <span>
#include <vector>

namespace kavro::testsupport {

// Pink noise from 20 Hz to 2.5 kHz whose level swings sinusoidally by `swingDb` from
// trough to crest `modulationHz` times a second. (Above that the weighting filters of
// different rates part by a few tenths of a decibel, which is theirs to answer for, not
// the measurement's.) The noise is a sum of components on a
// 0.1 Hz grid with phases from a fixed seed, built by an inverse FFT of one 10-second
// period, so the same continuous signal comes out at any sample rate: 44.1, 48 and
// 96 kHz carry the same material. The whole signal repeats every 10 seconds.
class ModulatedNoise {
public:
    ModulatedNoise(double sampleRate, double carrierRms, double swingDb = 20.0, double modulationHz = 4.0) {
        constexpr double kPeriodSeconds = 10.0;
        const auto frames = static_cast<std::size_t>(std::llround(sampleRate * kPeriodSeconds));
        std::vector<std::complex<float>> spectrum(frames / 2 + 1);
        std::mt19937 generator(4);
        std::uniform_real_distribution<double> phase(0.0, 2.0 * std::numbers::pi);
        for (std::size_t bin = 200; bin <= 25000; ++bin) {
            const double frequency = static_cast<double>(bin) / kPeriodSeconds;
            spectrum[bin] = std::polar(static_cast<float>(1.0 / std::sqrt(frequency)),
                                       static_cast<float>(phase(generator)));
        }
        m_period.resize(frames);
        dsp::RealFft(frames).inverse(spectrum, m_period);

        double sumSquares = 0;
        for (const float sample : m_period) {
            sumSquares += static_cast<double>(sample) * sample;
        }
        const double scale = carrierRms / std::sqrt(sumSquares / static_cast<double>(frames));
        for (std::size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / sampleRate;
            const double envelopeDb = swingDb / 2.0 * std::sin(2.0 * std::numbers::pi * modulationHz * t);
            m_period[i] = static_cast<float>(m_period[i] * scale * std::pow(10.0, envelopeDb / 20.0));
        }
    }

    void next(std::span<float> out) {
        for (std::size_t done = 0; done < out.size();) {
            const std::size_t count = std::min(out.size() - done, m_period.size() - m_position);
            std::copy_n(m_period.begin() + static_cast<std::ptrdiff_t>(m_position), count,
                        out.begin() + static_cast<std::ptrdiff_t>(done));
            done += count;
            m_position = (m_position + count) % m_period.size();
        }
    }

private:
    std::vector<float> m_period;
    std::size_t m_position = 0;
};

} // namespace kavro::testsupport
