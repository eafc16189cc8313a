// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"
#include "platform/qt/DeviceBinding.h"
#include "platform/qt/QtAudioBackend.h"

#include <QAudioFormat>
#include <QElapsedTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace kavro::platform {

// Capture from one Qt input device on a thread of its own. The device's interleaved
// frames, in whatever sample format it gives, are cut into float buffers of exactly
// the requested length holding only the measured channel.
class QtCaptureStream final : public CaptureStream, public DeviceBoundStream {
public:
    // A started stream that has delivered no data for this long counts as changed: when
    // its sound server dies, Qt keeps the stream started and the device listed.
    static constexpr std::chrono::milliseconds kStallTimeout{5000};

    QtCaptureStream(QtAudioBackend& backend, const QString& deviceUid, int deviceChannel, int framesPerBuffer,
                    CaptureCallback callback);
    ~QtCaptureStream() override;

    CaptureFormat format() const override;
    std::optional<QString> start() override;
    void stop() override;
    std::optional<QString> reopen(int deviceChannel) override;

private:
    class Worker;

    bool deviceChanged() const override;
    bool stalled() override;

    // Looks at the device, picks its format and the channel to measure.
    bool prepare(int deviceChannel);

    DeviceBinding m_binding;
    QAudioFormat m_format;
    int m_channel = 0;
    const int m_framesPerBuffer;
    const CaptureCallback m_callback;
    const std::unique_ptr<Worker> m_worker;
    // Bytes the device has written, counted on the capture thread; the main thread
    // notes when the count last moved.
    std::atomic<std::uint64_t> m_bytesReceived{0};
    std::uint64_t m_bytesSeen = 0;
    QElapsedTimer m_sinceBytesMoved;
};

} // namespace kavro::platform
