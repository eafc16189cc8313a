// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace kavro::dsp {

struct MeterReading;

// The figures of one stretch of measured audio, typically the 0.1 s between two ticks
// of the exposure feed.
struct IntervalLevels {
    // The energy averages of the A- and C-weighted samples (LAeq, LCeq), dB, with the
    // floors and caps of the meter's levels; 0 without audio.
    double laeq = 0;
    double lceq = 0;
    // The highest weighted peaks of any buffer, dB.
    double peakDBA = 0;
    double peakDBC = 0;
    std::int64_t frames = 0;
    double durationSeconds = 0;

    bool hasAudio() const { return frames > 0; }
};

// Sums the meter's readings of every buffer of an interval (the squared weighted
// samples, the frames, the highest peaks) and turns them into the interval's levels.
//
// The energy is kept in the units of the newest calibration offset: when the offset
// changes part way, the audio measured before is converted to the new offset, so each
// buffer counts with the offset it was measured with.
class IntervalAccumulator {
public:
    // A buffer whose energy is not a finite number (broken samples) is left out.
    void add(const MeterReading& reading, double sampleRate);
    // The levels since the last take (or clear), and a new interval begins.
    IntervalLevels take();
    void clear();

    std::int64_t frames() const { return m_frames; }

private:
    double m_sumSquaresA = 0;
    double m_sumSquaresC = 0;
    std::int64_t m_frames = 0;
    double m_seconds = 0;
    double m_peakDBA = 0;
    double m_peakDBC = 0;
    double m_calibrationOffset = 0;
};

} // namespace kavro::dsp
