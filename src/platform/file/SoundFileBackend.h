// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"
#include "platform/file/SoundFile.h"

#include <vector>

namespace kavro::platform {

// An audio backend whose one input is a sound file, measured through exactly the
// pipeline that live capture uses.
class SoundFileBackend final : public AudioBackend {
public:
    enum class Pace {
        // The caller pumps the capture stream buffer by buffer, as fast as it likes,
        // on its own thread: for measuring files.
        onDemand,
        // The stream delivers from a thread of its own, one buffer per buffer length
        // of audio, as a microphone would; after the end of the file it delivers
        // silence, like a room after the music stopped.
        realTime,
        // The same, starting over at the end of the file.
        realTimeLooped,
    };

    SoundFileBackend(SoundFile& file, int channel, Pace pace = Pace::onDemand)
        : m_file(file), m_channel(channel), m_pace(pace) {}

    QList<AudioDeviceDescription> inputDevices() const override;
    QList<AudioDeviceDescription> outputDevices() const override { return {}; }
    std::unique_ptr<CaptureStream> openCapture(const QString& deviceUid, int deviceChannel,
                                               int framesPerBuffer, CaptureCallback callback) override;
    std::unique_ptr<PlaybackStream> openPlayback(const QString& deviceUid, PlaybackFormat format,
                                                 RenderCallback render) override;

    // On demand only: delivers the next buffer of the open, started stream to its
    // callback on the calling thread; returns the number of frames delivered, 0 at the end.
    std::size_t pump();

private:
    class Stream;

    SoundFile& m_file;
    const int m_channel;
    const Pace m_pace;
    Stream* m_stream = nullptr;
};

} // namespace kavro::platform
