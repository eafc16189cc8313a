// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/pulse/PulseRecordStream.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

struct pa_context;
struct pa_threaded_mainloop;

namespace kavro::platform {

// Records one input source (a microphone) through a connection to the sound server of
// its own, as 32-bit float in the source's own channel layout, so that a channel picked
// by its index is the device's channel and never a mix. PulseAudio and PipeWire's
// PulseAudio server both serve it. The server is asked to deliver within
// kDeliveryPeriod, the pace of the exposure feed: a source hands its audio on in the
// pieces it records, several per period, so the feed's 0.1 s intervals still hold audio
// (about one tick in sixty found none, the same as at half the period), and a shorter
// period would only cost wake-ups; the level is shown ten times a second at most.
class PulseSourceReader {
public:
    static constexpr std::chrono::milliseconds kDeliveryPeriod{100};

    // Runs on the connection's thread for every piece of interleaved samples (null:
    // silence of that many samples). It must not block.
    using DataHandler = PulseRecordStream::DataHandler;

    PulseSourceReader();
    ~PulseSourceReader();
    PulseSourceReader(const PulseSourceReader&) = delete;
    PulseSourceReader& operator=(const PulseSourceReader&) = delete;

    // Connects to the server and records the named source at the given rate and channel
    // count. `failed` runs on the connection's thread when the source or the server goes
    // away while recording. Returns the reason when it does not record.
    std::optional<QString> start(const QString& sourceName, double sampleRate, int channelCount,
                                 DataHandler data, std::function<void()> failed);
    // Once it returns, no handler runs again; the connection is closed.
    void stop();

private:
    std::optional<QString> connectContext();
    // With the loop locked: the source's own layout when it has this many channels.
    pa_channel_map channelMapOf(const QString& sourceName, int channelCount);
    void disconnectContext();

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    std::optional<PulseRecordStream> m_record;
};

} // namespace kavro::platform
