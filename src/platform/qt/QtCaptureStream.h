// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"
#include "platform/pulse/PulseSourceReader.h"
#include "platform/qt/CaptureChunker.h"
#include "platform/qt/DeviceBinding.h"
#include "platform/qt/QtAudioBackend.h"

#include <QAudioFormat>
#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kavro::platform {

// Capture from one input device of Qt's lists. Qt picks the device and says when it
// changes; the audio itself is read through the sound server's own client library,
// which wakes the process once per delivery rather than polling for it, and costs a
// meter that listens all day a fraction of what Qt's reader does. The device's frames
// are cut into float buffers of exactly the requested length holding only the measured
// channel.
class QtCaptureStream final : public CaptureStream, public DeviceBoundStream {
public:
    // A started stream that has delivered no data for this long counts as changed: a
    // stream whose server hangs says nothing.
    static constexpr std::chrono::milliseconds kStallTimeout{5000};

    QtCaptureStream(QtAudioBackend& backend, const QString& deviceUid, int deviceChannel, int framesPerBuffer,
                    CaptureCallback callback);
    ~QtCaptureStream() override;

    CaptureFormat format() const override;
    std::optional<QString> start() override;
    void stop() override;
    std::optional<QString> reopen(int deviceChannel) override;

private:
    bool deviceChanged() const override;
    bool stalled() override;

    // Looks at the device, picks its format and the channel to measure.
    bool prepare(int deviceChannel);
    // The reader's thread: every piece of interleaved samples, null for silence.
    void receive(const float* samples, std::size_t count);

    DeviceBinding m_binding;
    QAudioFormat m_format;
    int m_channel = 0;
    const int m_framesPerBuffer;
    const CaptureCallback m_callback;
    // Configured while stopped, then used on the reader's thread only.
    CaptureChunker m_chunker;
    PulseSourceReader m_reader;
    // Samples the device has delivered, counted on the reader's thread; the main thread
    // notes when the count last moved.
    std::atomic<std::uint64_t> m_samplesReceived{0};
    std::uint64_t m_samplesSeen = 0;
    QElapsedTimer m_sinceSamplesMoved;
};

} // namespace kavro::platform
