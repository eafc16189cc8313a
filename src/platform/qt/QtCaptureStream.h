#pragma once

#include "platform/AudioBackend.h"
#include "platform/qt/DeviceBinding.h"
#include "platform/qt/QtAudioBackend.h"

#include <QAudioFormat>
#include <QThread>

#include <atomic>
#include <memory>

namespace kavro::platform {

// Capture from one Qt input device on a thread of its own. The device's interleaved
// frames, in whatever sample format it gives, are cut into float buffers of exactly
// the requested length holding only the measured channel.
class QtCaptureStream final : public CaptureStream, public DeviceBoundStream {
public:
    QtCaptureStream(QtAudioBackend& backend, const QString& deviceUid, int deviceChannel, int framesPerBuffer,
                    CaptureCallback callback);
    ~QtCaptureStream() override;

    CaptureFormat format() const override;
    std::optional<QString> start() override;
    void stop() override;
    std::optional<QString> reopen(int deviceChannel) override;
    void checkConfiguration() override;

private:
    class Worker;

    // Looks at the device, picks its format and the channel to measure.
    bool prepare(int deviceChannel);

    QtAudioBackend& m_backend;
    std::uint64_t m_registration = 0;
    DeviceBinding m_binding;
    QAudioFormat m_format;
    int m_channel = 0;
    const int m_framesPerBuffer;
    const CaptureCallback m_callback;
    QThread m_thread;
    Worker* m_worker = nullptr;
    bool m_started = false;
    // Set on the capture thread when the platform stopped the stream by itself.
    std::atomic<bool> m_failed{false};
};

} // namespace kavro::platform
