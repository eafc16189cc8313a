// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/LouderChannelInterval.h"

#include <algorithm>

namespace kavro::dsp {

MeterReading louderReading(std::span<const MeterReading> readings) {
    if (readings.empty()) {
        return {};
    }
    MeterReading louder = readings.front();
    for (const MeterReading& reading : readings.subspan(1)) {
        const MeterReading shown = louder;
        if (reading.sumSquaresA > louder.sumSquaresA) {
            louder = reading;
        }
        louder.smoothedDBA = std::max(shown.smoothedDBA, reading.smoothedDBA);
        louder.smoothedDBC = std::max(shown.smoothedDBC, reading.smoothedDBC);
        louder.peakDBA = std::max(shown.peakDBA, reading.peakDBA);
        louder.peakDBC = std::max(shown.peakDBC, reading.peakDBC);
        louder.peakAlert = shown.peakAlert || reading.peakAlert;
    }
    return louder;
}

void LouderChannelInterval::add(std::span<const MeterReading> readings, double sampleRate) {
    const std::size_t count = std::min(readings.size(), m_channels.size());
    for (std::size_t channel = 0; channel < count; ++channel) {
        m_channels[channel].add(readings[channel], sampleRate);
    }
    m_channelCount = std::max(m_channelCount, count);
}

IntervalLevels LouderChannelInterval::take() {
    IntervalLevels louder;
    double peakDBA = 0;
    double peakDBC = 0;
    for (std::size_t channel = 0; channel < m_channelCount; ++channel) {
        const IntervalLevels levels = m_channels[channel].take();
        if (channel == 0 || levels.laeq > louder.laeq) {
            louder = levels;
        }
        peakDBA = std::max(peakDBA, levels.peakDBA);
        peakDBC = std::max(peakDBC, levels.peakDBC);
    }
    louder.peakDBA = peakDBA;
    louder.peakDBC = peakDBC;
    m_channelCount = 0;
    return louder;
}

void LouderChannelInterval::clear() {
    for (IntervalAccumulator& channel : m_channels) {
        channel.clear();
    }
    m_channelCount = 0;
}

} // namespace kavro::dsp
