// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/AWeightingFilter.h"
#include "dsp/CWeightingFilter.h"

#include <cstddef>
#include <span>
#include <vector>

namespace kavro::dsp {

class MicCorrectionHook;

// What the meter makes of one buffer (or of a stretch of one, see LevelMeter::measure).
struct MeterReading {
    // The smoothed A- and C-weighted levels after this buffer, dB: what is shown.
    double smoothedDBA = 0;
    double smoothedDBC = 0;
    // The weighted peaks of this buffer, dB, within 0…160.
    double peakDBA = 0;
    double peakDBC = 0;
    // The C-weighted peak reached the alert threshold.
    bool peakAlert = false;

    // The energy of the weighted samples, without the offset, so that any number of
    // buffers add up to a true energy average.
    std::size_t frames = 0;
    double sumSquaresA = 0;
    double sumSquaresC = 0;
    double rmsA = 0;
    double rmsC = 0;
    // The offset the levels above were computed with.
    double calibrationOffset = 0;
};

// The sound level meter of one stream of buffers: the optional microphone correction,
// A- and C-weighting, RMS and peaks in calibrated decibels with their floors and caps,
// and the smoothing of the displayed levels. The filters and the smoothing carry over
// from one buffer to the next, so buffers must arrive in stream order.
//
// It keeps its working buffers between calls: a buffer allocates only when it is
// longer than any before it (reserve the usual length up front).
class LevelMeter {
public:
    explicit LevelMeter(double sampleRate = 48000.0, std::size_t expectedFrames = 1024);

    double sampleRate() const { return m_aWeighting.sampleRate(); }

    // Retunes both filters to the rate and clears their state and the smoothing, so the
    // levels climb from 0 again, as at every start of capture.
    void restart(double sampleRate);

    // Measures the next buffer. The correction, when given, is applied to a copy of the
    // samples; the samples themselves are never changed. An empty buffer changes nothing
    // and reads zero frames.
    MeterReading process(std::span<const float> samples, double calibrationOffset,
                         MicCorrectionHook* correction = nullptr);

    // The peaks and energy of frames [first, first + count) of the last buffer, with the
    // smoothed levels as that buffer left them: lets a caller split a buffer at a moment
    // that falls inside it. The stretch is cut to the buffer.
    MeterReading measure(std::size_t first, std::size_t count, double calibrationOffset) const;

private:
    MeterReading reading(const level::BufferStatistics& a, const level::BufferStatistics& c,
                         std::size_t frames, double calibrationOffset) const;

    AWeightingFilter m_aWeighting;
    CWeightingFilter m_cWeighting;
    double m_smoothedDBA = 0;
    double m_smoothedDBC = 0;
    std::vector<float> m_corrected;
    std::vector<float> m_weightedA;
    std::vector<float> m_weightedC;
};

} // namespace kavro::dsp
