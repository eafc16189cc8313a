// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/IntervalAccumulator.h"

#include "dsp/LevelMath.h"
#include "dsp/LevelMeter.h"

#include <algorithm>
#include <cmath>

namespace kavro::dsp {

void IntervalAccumulator::add(const MeterReading& reading, double sampleRate) {
    if (reading.frames == 0 || !std::isfinite(reading.sumSquaresA) || !std::isfinite(reading.sumSquaresC)) {
        return;
    }
    if (m_frames > 0 && reading.calibrationOffset != m_calibrationOffset) {
        const double toNewOffset = level::energyScale(m_calibrationOffset, reading.calibrationOffset);
        m_sumSquaresA *= toNewOffset;
        m_sumSquaresC *= toNewOffset;
    }
    m_calibrationOffset = reading.calibrationOffset;
    m_sumSquaresA += reading.sumSquaresA;
    m_sumSquaresC += reading.sumSquaresC;
    m_frames += static_cast<std::int64_t>(reading.frames);
    m_seconds += static_cast<double>(reading.frames) / sampleRate;
    // The peaks are already in decibels with their own buffer's offset.
    m_peakDBA = std::max(m_peakDBA, reading.peakDBA);
    m_peakDBC = std::max(m_peakDBC, reading.peakDBC);
}

IntervalLevels IntervalAccumulator::take() {
    IntervalLevels levels;
    if (m_frames > 0) {
        const auto frames = static_cast<double>(m_frames);
        levels.laeq = level::rmsLevelDb(std::sqrt(m_sumSquaresA / frames), m_calibrationOffset);
        levels.lceq = level::rmsLevelDb(std::sqrt(m_sumSquaresC / frames), m_calibrationOffset);
        levels.peakDBA = m_peakDBA;
        levels.peakDBC = m_peakDBC;
        levels.frames = m_frames;
        levels.durationSeconds = m_seconds;
    }
    clear();
    return levels;
}

void IntervalAccumulator::clear() {
    m_sumSquaresA = 0;
    m_sumSquaresC = 0;
    m_frames = 0;
    m_seconds = 0;
    m_peakDBA = 0;
    m_peakDBC = 0;
}

} // namespace kavro::dsp
