#include "cli/SecondSummary.h"

#include <algorithm>
#include <cmath>

namespace kavro::cli {

void EnergyAverage::add(const services::AudioMeasurementService::BufferMeasurement& buffer) {
    if (!std::isfinite(buffer.rmsA) || !std::isfinite(buffer.rmsC)) {
        return;
    }
    const auto frames = static_cast<double>(buffer.frames);
    m_sumSquaresA += buffer.rmsA * buffer.rmsA * frames;
    m_sumSquaresC += buffer.rmsC * buffer.rmsC * frames;
    m_frames += static_cast<std::int64_t>(buffer.frames);
}

std::optional<double> EnergyAverage::levelOf(double sumSquares, double calibrationOffset) const {
    if (m_frames == 0 || !(sumSquares > 0.0)) {
        return std::nullopt;
    }
    return 10.0 * std::log10(sumSquares / static_cast<double>(m_frames)) + calibrationOffset;
}

std::optional<SecondSummary> SecondTracker::add(const services::AudioMeasurementService& meter,
                                                std::int64_t startFrame, std::size_t frames) {
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
    m_summary.dBA = meter.currentSPL();
    m_summary.dBC = meter.currentDBC();
    m_summary.peakDBA = std::max(m_summary.peakDBA, meter.peakDBA());
    m_summary.peakDBC = std::max(m_summary.peakDBC, meter.peakDBC());
    m_summary.energy.add(meter.lastBuffer());
    m_summary.endSeconds = static_cast<double>(startFrame + static_cast<std::int64_t>(frames)) / m_sampleRate;
    return finished;
}

std::optional<SecondSummary> SecondTracker::finish() const {
    if (m_currentSecond < 0) {
        return std::nullopt;
    }
    return m_summary;
}

} // namespace kavro::cli
