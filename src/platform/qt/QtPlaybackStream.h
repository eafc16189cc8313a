#pragma once

#include "platform/AudioBackend.h"
#include "platform/qt/DeviceBinding.h"
#include "platform/qt/QtAudioBackend.h"

#include <QThread>

#include <atomic>

namespace kavro::platform {

// Playback on one Qt output device from a render thread of its own: the device pulls
// 32-bit float frames straight from the render callback.
class QtPlaybackStream final : public PlaybackStream, public DeviceBoundStream {
public:
    QtPlaybackStream(QtAudioBackend& backend, const QString& deviceUid, PlaybackFormat format,
                     RenderCallback render);
    ~QtPlaybackStream() override;

    std::optional<QString> start() override;
    void stop() override;
    void checkConfiguration() override;

private:
    class Worker;

    QtAudioBackend& m_backend;
    std::uint64_t m_registration = 0;
    DeviceBinding m_binding;
    const PlaybackFormat m_format;
    const RenderCallback m_render;
    QThread m_thread;
    Worker* m_worker = nullptr;
    bool m_started = false;
    std::atomic<bool> m_failed{false};
};

} // namespace kavro::platform
