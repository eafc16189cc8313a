// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <pulse/channelmap.h>
#include <pulse/sample.h>

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>

struct pa_context;
struct pa_stream;
struct pa_threaded_mainloop;

namespace kavro::platform {

// One record stream on a connected context whose threaded main loop runs elsewhere. A
// meter needs no low latency, so the stream asks for fragments of tens of milliseconds
// (fewer wake-ups cost less). It never moves to another source: when its source goes
// away it fails, and the owner decides what to record next.
class PulseRecordStream {
public:
    // Runs on the loop's thread for every piece the server delivers; null samples are a
    // stretch the server has no audio for, to be read as silence. It must not block.
    using DataHandler = std::function<void(const float* samples, std::size_t count)>;
    // Runs on the loop's thread when the stream or its server stops it.
    using FailureHandler = std::function<void()>;

    struct Request {
        QString source;
        pa_sample_spec spec{};
        pa_channel_map channelMap{};
        double fragmentSeconds = 0.05;
        // Ask the source to deliver within one fragment. Without it the source keeps its
        // own latency (up to two seconds when nobody asks for less), which leaves the
        // latency of everyone else using it, and of an output it monitors, as it was.
        bool sourceLatencyFromFragment = false;
    };

    PulseRecordStream(pa_threaded_mainloop* loop, pa_context* context);
    ~PulseRecordStream();
    PulseRecordStream(const PulseRecordStream&) = delete;
    PulseRecordStream& operator=(const PulseRecordStream&) = delete;

    // Connects and waits until the server records (or refuses, with its reason). The
    // loop must not be locked by the caller.
    std::optional<QString> connect(const Request& request, DataHandler data, FailureHandler failure);
    // Once it returns, neither handler runs again.
    void disconnect();

private:
    static void streamState(pa_stream* stream, void* self);
    static void streamRead(pa_stream* stream, std::size_t length, void* self);

    pa_threaded_mainloop* const m_loop;
    pa_context* const m_context;
    pa_stream* m_stream = nullptr;
    DataHandler m_data;
    FailureHandler m_failure;
    std::atomic<bool> m_stopping{false};
};

} // namespace kavro::platform
