// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/LevelMeter.h"

#include <cstdint>
#include <optional>

namespace kavro::cli {

// The true energy average of the A- and C-weighted samples of a run of buffers, built
// from each buffer's sums of squared samples and frame count.
class EnergyAverage {
public:
    // Buffers whose energy is not a finite number (broken samples) are left out.
    void add(const dsp::MeterReading& reading);

    std::int64_t frames() const { return m_frames; }
    // LAeq / LCeq in dB with the calibration offset; no value for no frames or digital silence.
    std::optional<double> laeq(double calibrationOffset) const {
        return levelOf(m_sumSquaresA, calibrationOffset);
    }
    std::optional<double> lceq(double calibrationOffset) const {
        return levelOf(m_sumSquaresC, calibrationOffset);
    }

private:
    std::optional<double> levelOf(double sumSquares, double calibrationOffset) const;

    double m_sumSquaresA = 0;
    double m_sumSquaresC = 0;
    std::int64_t m_frames = 0;
};

// One second of audio as the file tools report it: the smoothed levels at its end,
// its highest peaks and the energy of its samples.
struct SecondSummary {
    double endSeconds = 0;
    double dBA = 0;
    double dBC = 0;
    double peakDBA = 0;
    double peakDBC = 0;
    EnergyAverage energy;
};

// Groups the buffers of a file into whole seconds: a buffer belongs to the second in
// which it starts.
class SecondTracker {
public:
    explicit SecondTracker(double sampleRate) : m_sampleRate(sampleRate) {}

    // Adds one measured buffer; returns the finished previous second when this buffer
    // starts a new one.
    std::optional<SecondSummary> add(const dsp::MeterReading& reading, std::int64_t startFrame);
    // The last, possibly partial second, if any buffer was added.
    std::optional<SecondSummary> finish() const;

private:
    const double m_sampleRate;
    std::int64_t m_currentSecond = -1;
    SecondSummary m_summary;
};

} // namespace kavro::cli
