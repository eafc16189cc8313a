#pragma once

#include "platform/AudioBackend.h"
#include "platform/file/SoundFile.h"

#include <vector>

namespace kavro::platform {

// An audio backend whose one input is a sound file. The caller pumps the capture
// stream buffer by buffer, so a file is measured through exactly the pipeline that
// live capture uses, as fast as the machine allows, without a capture thread.
class SoundFileBackend final : public AudioBackend {
public:
    SoundFileBackend(SoundFile& file, int channel) : m_file(file), m_channel(channel) {}

    QList<AudioDeviceDescription> inputDevices() const override;
    QList<AudioDeviceDescription> outputDevices() const override { return {}; }
    std::unique_ptr<CaptureStream> openCapture(const QString& deviceUid, int deviceChannel,
                                               int framesPerBuffer, CaptureCallback callback) override;
    std::unique_ptr<PlaybackStream> openPlayback(const QString& deviceUid, PlaybackFormat format,
                                                 RenderCallback render) override;

    // Delivers the next buffer of the open, started stream to its callback on the
    // calling thread; returns the number of frames delivered, 0 at the end.
    std::size_t pump();

private:
    class Stream;

    SoundFile& m_file;
    const int m_channel;
    Stream* m_stream = nullptr;
};

} // namespace kavro::platform
