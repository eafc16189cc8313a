// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ChannelLevelMeters.h"
#include "dsp/LevelMeter.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kavro::services {

// Carries the meter's readings from the capture thread to the main thread, in order,
// without a lock or an allocation: a ring of fixed size that one thread writes and the
// other reads. The main thread needs waking only when the ring turns from empty, so one
// wake carries every buffer of a burst (the sound server hands several at once) instead
// of one each; a main thread that collects on a steady timer of its own asks to be woken
// only when more audio than that waits.
//
// Should the main thread fall so far behind that the ring is full, later readings are
// merged, channel by channel, into one that waits on the capture side: their audio still
// counts in full.
class ReadingHandOver {
public:
    // One buffer, measured in each of its channels.
    struct Entry {
        // The measurement's generation when the buffer was measured (see the service).
        std::uint64_t generation = 0;
        std::size_t channelCount = 0;
        dsp::ChannelLevelMeters::Readings readings{};

        std::span<const dsp::MeterReading> channels() const { return {readings.data(), channelCount}; }
    };

    // About 5.5 s of 1024-frame buffers at 48 kHz: far more than a main thread that
    // answers at all falls behind.
    static constexpr std::size_t kCapacity = 256;

    // Capture thread. True when the main thread must be woken to collect: it has not
    // been asked yet, and at least `wakeAfterFrames` frames wait (0: any).
    bool push(const Entry& entry, std::size_t wakeAfterFrames = 0);

    // Adds a later buffer's reading to an earlier one, as if both were one buffer: the
    // frames and energies summed (in the later one's offset, as the interval converts
    // them), the highest peaks, the later smoothed levels.
    static void merge(dsp::MeterReading& earlier, const dsp::MeterReading& later);

    // Main thread: hands every waiting entry, oldest first, to `take`. Entries pushed
    // while this runs either are taken now or wake the main thread again.
    template <typename Take> void collect(Take&& take) {
        m_wakeRequested.store(false);
        m_waitingFrames.store(0);
        std::size_t head = m_head.load(std::memory_order_relaxed);
        // In one order with the flag above: an entry this load misses was appended after
        // the flag was cleared, and its push asks for a wake.
        const std::size_t tail = m_tail.load();
        for (; head != tail; ++head) {
            take(m_entries[head % kCapacity]);
        }
        m_head.store(head, std::memory_order_release);
    }

private:
    bool tryAppend(const Entry& entry);

    std::array<Entry, kCapacity> m_entries{};
    // Counters that only grow; an entry's slot is its count modulo the capacity.
    std::atomic<std::size_t> m_head{0}; // written by the main thread
    std::atomic<std::size_t> m_tail{0}; // written by the capture thread
    std::atomic<bool> m_wakeRequested{false};
    std::atomic<std::size_t> m_waitingFrames{0};
    // Capture thread only: what did not fit, merged, until there is room.
    std::optional<Entry> m_waiting;
};

} // namespace kavro::services
