// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"
#include "platform/pulse/PulseOutputTap.h"

#include <QObject>

#include <atomic>
#include <cstddef>
#include <vector>

struct pa_stream;

namespace kavro::platform {

// Records one output's monitor in the output's own channels, on the tap's loop thread.
// The stream asks for large fragments (a meter needs no low latency, and fewer wake-ups
// cost less), never moves to another output, and requests no latency of its own, so
// the user's playback keeps its latency. The read callback only copies samples into a
// buffer allocated at start and hands on every full one: no locks, no logging.
class PulseOutputCapture final : public CaptureStream {
public:
    PulseOutputCapture(PulseOutputTap& tap, QString outputName, int framesPerBuffer,
                       CaptureCallback callback);
    ~PulseOutputCapture() override;

    CaptureFormat format() const override;
    std::optional<QString> start() override;
    void stop() override;
    std::optional<QString> reopen(int deviceChannel) override;

private:
    static void streamState(pa_stream* stream, void* self);
    static void streamRead(pa_stream* stream, std::size_t length, void* self);
    void consume(const float* samples, std::size_t count);

    PulseOutputTap& m_tap;
    const QString m_outputName;
    const int m_framesPerBuffer;
    const CaptureCallback m_callback;
    std::optional<PulseOutputTap::CaptureTarget> m_target;
    pa_stream* m_stream = nullptr;
    std::vector<float> m_chunk;
    std::size_t m_filled = 0;
    // Posts the configuration change; a post whose stream is gone is dropped with it.
    QObject m_context;
    std::atomic<bool> m_stopping{false};
};

} // namespace kavro::platform
