// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/LevelMeter.h"

#include "dsp/LevelMath.h"
#include "dsp/MicCorrectionHook.h"

#include <algorithm>
#include <cmath>

namespace kavro::dsp {

LevelMeter::LevelMeter(double sampleRate, std::size_t expectedFrames)
    : m_aWeighting(sampleRate), m_cWeighting(sampleRate) {
    m_corrected.reserve(expectedFrames);
    m_weightedA.reserve(expectedFrames);
    m_weightedC.reserve(expectedFrames);
}

void LevelMeter::restart(double sampleRate) {
    m_aWeighting.updateSampleRate(sampleRate);
    m_aWeighting.reset();
    m_cWeighting.updateSampleRate(sampleRate);
    m_cWeighting.reset();
    m_smoothedDBA = 0;
    m_smoothedDBC = 0;
}

MeterReading LevelMeter::process(std::span<const float> samples, double calibrationOffset,
                                 MicCorrectionHook* correction) {
    const std::size_t frames = samples.size();
    m_weightedA.resize(frames);
    m_weightedC.resize(frames);
    if (frames == 0) {
        return reading({}, {}, 0, calibrationOffset);
    }
    std::span<const float> input = samples;
    if (correction) {
        m_corrected.assign(samples.begin(), samples.end());
        correction->apply(m_corrected, sampleRate());
        input = m_corrected;
    }
    level::BufferStatistics a, c;
    processInterleaved(m_aWeighting, m_cWeighting, input, m_weightedA, m_weightedC, a, c);

    MeterReading result = reading(a, c, frames, calibrationOffset);
    // A non-finite sample (a broken driver) would poison the recursive filters for
    // good; start them afresh so that the next buffers measure again.
    if (!std::isfinite(result.rmsA) || !std::isfinite(result.rmsC)) {
        m_aWeighting.reset();
        m_cWeighting.reset();
    }
    m_smoothedDBA = level::smooth(m_smoothedDBA, level::rmsLevelDb(result.rmsA, calibrationOffset));
    m_smoothedDBC = level::smooth(m_smoothedDBC, level::rmsLevelDb(result.rmsC, calibrationOffset));
    result.smoothedDBA = m_smoothedDBA;
    result.smoothedDBC = m_smoothedDBC;
    return result;
}

MeterReading LevelMeter::measure(std::size_t first, std::size_t count, double calibrationOffset) const {
    const std::size_t begin = std::min(first, m_weightedA.size());
    const std::size_t length = std::min(count, m_weightedA.size() - begin);
    const std::span<const float> weightedA(m_weightedA);
    const std::span<const float> weightedC(m_weightedC);
    level::BufferStatistics a, c;
    level::measurePair(weightedA.subspan(begin, length), weightedC.subspan(begin, length), a, c);
    return reading(a, c, length, calibrationOffset);
}

MeterReading LevelMeter::reading(const level::BufferStatistics& a, const level::BufferStatistics& c,
                                 std::size_t frames, double calibrationOffset) const {
    MeterReading result;
    result.smoothedDBA = m_smoothedDBA;
    result.smoothedDBC = m_smoothedDBC;
    result.peakDBA = level::peakDb(a.peak, calibrationOffset);
    result.peakDBC = level::peakDb(c.peak, calibrationOffset);
    result.peakAlert = result.peakDBC >= level::kPeakAlertDbc;
    result.frames = frames;
    result.sumSquaresA = a.sumSquares;
    result.sumSquaresC = c.sumSquares;
    result.rmsA = a.rms;
    result.rmsC = c.rms;
    result.calibrationOffset = calibrationOffset;
    return result;
}

} // namespace kavro::dsp
