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

    // Queues buffers for the capture thread; with wait, returns once all were delivered.
    void deliver(std::vector<std::vector<float>> buffers, bool wait = true);
    // Waits until every queued buffer has been delivered.
    void waitUntilDelivered();

    const QString& deviceUid() const { return m_deviceUid; }
    int deviceChannel() const { return m_deviceChannel; }
    int framesPerBuffer() const { return m_framesPerBuffer; }
    bool isStarted() const;

private:
    void run();

    ScriptedAudioBackend& m_backend;
    const QString m_deviceUid;
    const int m_deviceChannel;
    const int m_framesPerBuffer;
    const CaptureFormat m_format;
    const std::optional<QString> m_startError;
    const CaptureCallback m_callback;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_drained;
    std::deque<std::vector<float>> m_queue;
    bool m_running = false;
    bool m_delivering = false;
    std::thread m_thread;
};

// An audio backend whose devices, formats and failures a test sets.
class ScriptedAudioBackend final : public AudioBackend {
public:
    QList<AudioDeviceDescription> inputs;
    QList<AudioDeviceDescription> outputs;
    CaptureFormat captureFormat{48000.0, 1};
    std::optional<QString> startError;
    MicrophonePermission permission = MicrophonePermission::Authorized;
    bool permissionAnswer = true;

    QList<AudioDeviceDescription> inputDevices() const override { return inputs; }
    QList<AudioDeviceDescription> outputDevices() const override { return outputs; }
    MicrophonePermission microphonePermission() const override { return permission; }
    void requestMicrophonePermission(std::function<void(bool)> answer) override { answer(permissionAnswer); }

    std::unique_ptr<CaptureStream> openCapture(const QString& deviceUid, int deviceChannel, int framesPerBuffer,
                                               CaptureCallback callback) override;

    // The most recently opened stream that still exists, or null.
    ScriptedCaptureStream* stream() const { return m_stream; }
    int openCount() const { return m_openCount; }

private:
    friend class ScriptedCaptureStream;
    ScriptedCaptureStream* m_stream = nullptr;
    int m_openCount = 0;
};

} // namespace kavro::platform::testing
