// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"
#include "platform/qt/AudioThread.h"

#include <QAudioDevice>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <map>
#include <optional>

class QMediaDevices;

namespace kavro::platform {

class QtAudioBackend;

// What the Qt capture and playback streams share: the audio thread their Qt stream
// lives on, the started state, and the check for configuration changes that the
// backend runs on every look at the device lists, together with the flag the audio
// thread raises when the platform stopped the stream by itself.
class DeviceBoundStream {
public:
    // The handler is the stream's onConfigurationChanged, owned by the caller. A stream
    // whose Qt stream needs an audio thread names it; one that reads its audio another
    // way passes no name and starts and stops on the calling thread.
    DeviceBoundStream(QtAudioBackend& backend, const QString& threadName,
                      const std::function<void()>& onConfigurationChanged);
    virtual ~DeviceBoundStream();

    // Main thread. Reports a change while started; the report is the last thing it
    // does, so the stream's owner may destroy the stream from inside.
    void checkConfiguration();

protected:
    // Whether the device the stream runs on vanished or changed in a way that matters.
    virtual bool deviceChanged() const = 0;
    // Whether a started stream has stopped moving data without saying so. Asked on
    // every look at the device lists.
    virtual bool stalled() { return false; }

    bool isStarted() const { return m_started; }
    // Runs the start (on the audio thread, if the stream has one); the stream counts as
    // started when it gives no error. The work receives the flag to raise when the
    // platform stops the stream.
    std::optional<QString>
    startStream(const std::function<std::optional<QString>(std::atomic<bool>& failed)>& work);
    // When started: runs the teardown (on the audio thread, if any) and waits for it.
    void stopStream(const std::function<void()>& teardown);

private:
    QtAudioBackend& m_backend;
    const std::uint64_t m_registration;
    const std::function<void()>& m_onConfigurationChanged;
    std::optional<AudioThread> m_thread;
    bool m_started = false;
    std::atomic<bool> m_failed{false};
};

// The audio layer on Qt Multimedia (PulseAudio or PipeWire on Linux). UIDs are the
// device ids Qt reports, which PulseAudio keeps across restarts. The lists are
// compared on a light timer on the main thread as well as on Qt's change signals,
// because those signals do not fire for PulseAudio sources that come and go; a
// device that vanishes under a running stream is noticed the same way, since
// PulseAudio silently moves the stream elsewhere.
class QtAudioBackend final : public QObject, public AudioBackend {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kRefreshInterval{1000};

    explicit QtAudioBackend(QObject* parent = nullptr);
    ~QtAudioBackend() override;

    QList<AudioDeviceDescription> inputDevices() const override;
    QList<AudioDeviceDescription> outputDevices() const override;
    std::unique_ptr<CaptureStream> openCapture(const QString& deviceUid, int deviceChannel,
                                               int framesPerBuffer, CaptureCallback callback) override;
    std::unique_ptr<PlaybackStream> openPlayback(const QString& deviceUid, PlaybackFormat format,
                                                 RenderCallback render) override;

    // Looks at the device lists now: tells the listeners when they changed and lets
    // every open stream check its device.
    void refresh();

    // Qt fills its lists shortly after start-up: waits (running the event loop) until
    // both lists have been non-empty and unchanged for a moment, or the time is up.
    void waitForDeviceLists(std::chrono::milliseconds timeout);

    // The device with this id in the current list of the mode, or a null device.
    static QAudioDevice findDevice(QAudioDevice::Mode mode, const QString& uid);
    static QAudioDevice defaultDevice(QAudioDevice::Mode mode);

    // Streams register while they exist.
    std::uint64_t registerStream(DeviceBoundStream* stream);
    void unregisterStream(std::uint64_t id);

private:
    struct DeviceState {
        QByteArray id;
        QString description;
        bool isDefault = false;
        int sampleRate = 0;
        int channelCount = 0;
        bool operator==(const DeviceState&) const = default;
    };
    struct Snapshot {
        QList<DeviceState> inputs;
        QList<DeviceState> outputs;
        bool operator==(const Snapshot&) const = default;
    };
    static Snapshot takeSnapshot();

    QMediaDevices* m_mediaDevices = nullptr;
    QTimer m_refreshTimer;
    Snapshot m_snapshot;
    std::map<std::uint64_t, DeviceBoundStream*> m_streams;
    std::uint64_t m_nextStreamId = 1;
};

// Describes a Qt device as the device manager expects it.
AudioDeviceDescription describeDevice(const QAudioDevice& device);

} // namespace kavro::platform
