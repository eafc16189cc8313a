// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/ReadingHandOver.h"

#include "dsp/LevelMath.h"

#include <algorithm>
#include <cmath>

namespace kavro::services {

void ReadingHandOver::merge(dsp::MeterReading& earlier, const dsp::MeterReading& later) {
    const double scale = dsp::level::energyScale(earlier.calibrationOffset, later.calibrationOffset);
    const double sumSquaresA = earlier.sumSquaresA * scale + later.sumSquaresA;
    const double sumSquaresC = earlier.sumSquaresC * scale + later.sumSquaresC;
    const std::size_t frames = earlier.frames + later.frames;
    const double peakDBA = std::max(earlier.peakDBA, later.peakDBA);
    const double peakDBC = std::max(earlier.peakDBC, later.peakDBC);
    const bool peakAlert = earlier.peakAlert || later.peakAlert;
    earlier = later;
    earlier.sumSquaresA = sumSquaresA;
    earlier.sumSquaresC = sumSquaresC;
    earlier.frames = frames;
    earlier.peakDBA = peakDBA;
    earlier.peakDBC = peakDBC;
    earlier.peakAlert = peakAlert;
    if (frames > 0) {
        earlier.rmsA = std::sqrt(sumSquaresA / static_cast<double>(frames));
        earlier.rmsC = std::sqrt(sumSquaresC / static_cast<double>(frames));
    }
}

bool ReadingHandOver::tryAppend(const Entry& entry) {
    const std::size_t tail = m_tail.load(std::memory_order_relaxed);
    if (tail - m_head.load(std::memory_order_acquire) >= kCapacity) {
        return false;
    }
    m_entries[tail % kCapacity] = entry;
    m_tail.store(tail + 1);
    return true;
}

bool ReadingHandOver::push(const Entry& entry, std::size_t wakeAfterFrames) {
    if (m_waiting && m_waiting->generation != entry.generation) {
        // Measured before a stop or a restart: the main thread would drop it.
        m_waiting.reset();
    }
    if (m_waiting && tryAppend(*m_waiting)) {
        m_waiting.reset();
    }
    if (m_waiting) {
        // Within a generation the channels stay the same; a count that differed would
        // keep the channels of both.
        for (std::size_t channel = 0; channel < entry.channelCount; ++channel) {
            merge(m_waiting->readings[channel], entry.readings[channel]);
        }
        m_waiting->channelCount = std::max(m_waiting->channelCount, entry.channelCount);
    } else if (!tryAppend(entry)) {
        m_waiting = entry;
    }
    // Every channel of a buffer has its frames; a count the main thread clears between
    // these two lines only delays the next wake by this buffer.
    const std::size_t frames = entry.readings.front().frames;
    const std::size_t waiting = m_waitingFrames.fetch_add(frames) + frames;
    return waiting >= wakeAfterFrames && !m_wakeRequested.exchange(true);
}

} // namespace kavro::services
