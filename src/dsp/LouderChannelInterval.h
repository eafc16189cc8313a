// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ChannelLevelMeters.h"
#include "dsp/IntervalAccumulator.h"

#include <array>
#include <cstdint>
#include <span>

namespace kavro::dsp {

// One buffer of a stream measured per channel, as shown: the highest smoothed levels and
// peaks of any channel, and the energy of the channel with the most A-weighted energy.
MeterReading louderReading(std::span<const MeterReading> readings);

// The interval of a stream measured per channel: its levels are those of the channel
// with the most A-weighted energy over the whole interval (the louder ear, the safe
// side), and its peaks the highest of any channel.
class LouderChannelInterval {
public:
    // One reading per channel of the same buffer.
    void add(std::span<const MeterReading> readings, double sampleRate);
    IntervalLevels take();
    void clear();

    std::int64_t frames() const { return m_channels.front().frames(); }

private:
    std::array<IntervalAccumulator, ChannelLevelMeters::kMaxChannels> m_channels;
    std::size_t m_channelCount = 0;
};

} // namespace kavro::dsp
