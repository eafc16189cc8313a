// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"
#include "platform/qt/DeviceBinding.h"
#include "platform/qt/QtAudioBackend.h"

#include <QAudioFormat>

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

private:
    class Worker;

    bool deviceChanged() const override;

    // Looks at the device, picks its format and the channel to measure.
    bool prepare(int deviceChannel);

    DeviceBinding m_binding;
    QAudioFormat m_format;
    int m_channel = 0;
    const int m_framesPerBuffer;
    const CaptureCallback m_callback;
    const std::unique_ptr<Worker> m_worker;
};

} // namespace kavro::platform
