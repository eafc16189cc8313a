// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"
#include "platform/qt/DeviceBinding.h"
#include "platform/qt/QtAudioBackend.h"

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

private:
    class Worker;

    bool deviceChanged() const override;

    DeviceBinding m_binding;
    const PlaybackFormat m_format;
    const RenderCallback m_render;
    const std::unique_ptr<Worker> m_worker;
};

} // namespace kavro::platform
