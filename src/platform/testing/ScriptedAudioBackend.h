// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace kavro::platform::testing {

class ScriptedAudioBackend;

// A capture stream that delivers the buffers a test gives it from a thread of its
// own, like a real capture thread.
class ScriptedCaptureStream final : public CaptureStream {
public:
    ScriptedCaptureStream(ScriptedAudioBackend& backend, QString deviceUid, int deviceChannel,
                          int framesPerBuffer, CaptureFormat format, std::optional<QString> startError,
                          CaptureCallback callback);
    ~ScriptedCaptureStream() override;

    CaptureFormat format() const override { return m_format; }
    std::optional<QString> start() override;
    void stop() override;
    // Takes the backend's current captureFormat and reopenError.
    std::optional<QString> reopen(int deviceChannel) override;

    // Reports a configuration change as the platform would, on the calling (main) thread.
    void notifyConfigurationChanged();

    // Queues buffers for the capture thread; with wait, returns once all were delivered.
    void deliver(std::vector<std::vector<float>> buffers, bool wait = true);
    // Waits until every queued buffer has been delivered.
    void waitUntilDelivered();

    const QString& deviceUid() const { return m_deviceUid; }
    int deviceChannel() const { return m_deviceChannel; }
    int framesPerBuffer() const { return m_framesPerBuffer; }
    bool isStarted() const;
    int startCount() const { return m_startCount; }
    int reopenCount() const { return m_reopenCount; }

private:
    void run();

    ScriptedAudioBackend& m_backend;
    const QString m_deviceUid;
    int m_deviceChannel;
    const int m_framesPerBuffer;
    CaptureFormat m_format;
    const std::optional<QString> m_startError;
    const CaptureCallback m_callback;
    int m_startCount = 0;
    int m_reopenCount = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    std::deque<std::vector<float>> m_queue;
    bool m_running = false;
    bool m_delivering = false;
    std::thread m_thread;
};

// A playback stream whose render callback a test pulls on a render thread of its own.
class ScriptedPlaybackStream final : public PlaybackStream {
public:
    ScriptedPlaybackStream(ScriptedAudioBackend& backend, QString deviceUid, PlaybackFormat format,
                           std::optional<QString> startError, RenderCallback render);
    ~ScriptedPlaybackStream() override;

    std::optional<QString> start() override;
    void stop() override;

    // Pulls frames from the render callback on another thread, while started; returns
    // the interleaved samples (empty when stopped).
    std::vector<float> render(std::size_t frames);
    void notifyConfigurationChanged();

    const QString& deviceUid() const { return m_deviceUid; }
    const PlaybackFormat& format() const { return m_format; }
    bool isStarted() const { return m_started; }

private:
    ScriptedAudioBackend& m_backend;
    const QString m_deviceUid;
    const PlaybackFormat m_format;
    const std::optional<QString> m_startError;
    const RenderCallback m_render;
    bool m_started = false;
};

// An audio backend whose devices, formats and failures a test sets.
class ScriptedAudioBackend final : public AudioBackend {
public:
    QList<AudioDeviceDescription> inputs;
    QList<AudioDeviceDescription> outputs;
    CaptureFormat captureFormat{48000.0, 1};
    std::optional<QString> startError;
    std::optional<QString> reopenError;
    std::optional<QString> playbackStartError;
    MicrophonePermission permission = MicrophonePermission::Authorized;
    bool permissionAnswer = true;

    QList<AudioDeviceDescription> inputDevices() const override { return inputs; }
    QList<AudioDeviceDescription> outputDevices() const override { return outputs; }
    MicrophonePermission microphonePermission() const override { return permission; }
    void requestMicrophonePermission(const std::function<void(bool)>& answer) override {
        answer(permissionAnswer);
    }

    std::unique_ptr<CaptureStream> openCapture(const QString& deviceUid, int deviceChannel,
                                               int framesPerBuffer, CaptureCallback callback) override;
    std::unique_ptr<PlaybackStream> openPlayback(const QString& deviceUid, PlaybackFormat format,
                                                 RenderCallback render) override;

    // Tells the listeners that the lists changed, as the platform would.
    using AudioBackend::notifyDevicesChanged;

    // The most recently opened stream that still exists, or null.
    ScriptedCaptureStream* stream() const { return m_stream; }
    int openCount() const { return m_openCount; }
    ScriptedPlaybackStream* playbackStream() const { return m_playbackStream; }
    int playbackOpenCount() const { return m_playbackOpenCount; }

private:
    friend class ScriptedCaptureStream;
    friend class ScriptedPlaybackStream;
    ScriptedCaptureStream* m_stream = nullptr;
    int m_openCount = 0;
    ScriptedPlaybackStream* m_playbackStream = nullptr;
    int m_playbackOpenCount = 0;
};

} // namespace kavro::platform::testing
