// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/SecondSummary.h"

#include <algorithm>
#include <cmath>

namespace kavro::cli {

void EnergyAverage::add(const dsp::MeterReading& reading) {
    if (!std::isfinite(reading.sumSquaresA) || !std::isfinite(reading.sumSquaresC)) {
        return;
    }
    m_sumSquaresA += reading.sumSquaresA;
    m_sumSquaresC += reading.sumSquaresC;
    m_frames += static_cast<std::int64_t>(reading.frames);
}

std::optional<double> EnergyAverage::levelOf(double sumSquares, double calibrationOffset) const {
    if (m_frames == 0 || !(sumSquares > 0.0)) {
        return std::nullopt;
    }
    return 10.0 * std::log10(sumSquares / static_cast<double>(m_frames)) + calibrationOffset;
}

std::optional<SecondSummary> SecondTracker::add(const dsp::MeterReading& reading, std::int64_t startFrame) {
    std::optional<SecondSummary> finished;
    const auto second = static_cast<std::int64_t>(static_cast<double>(startFrame) / m_sampleRate);
    if (second != m_currentSecond) {
        if (m_currentSecond >= 0) {
            finished = m_summary;
            finished->endSeconds = static_cast<double>(m_currentSecond + 1);
        }
        m_currentSecond = second;
        m_summary = {};
    }
    m_summary.dBA = reading.smoothedDBA;
    m_summary.dBC = reading.smoothedDBC;
    m_summary.peakDBA = std::max(m_summary.peakDBA, reading.peakDBA);
    m_summary.peakDBC = std::max(m_summary.peakDBC, reading.peakDBC);
    m_summary.energy.add(reading);
    m_summary.endSeconds =
        static_cast<double>(startFrame + static_cast<std::int64_t>(reading.frames)) / m_sampleRate;
    return finished;
}

std::optional<SecondSummary> SecondTracker::finish() const {
    if (m_currentSecond < 0) {
        return std::nullopt;
    }
    return m_summary;
}

} // namespace kavro::cli
