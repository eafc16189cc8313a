// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtAudioBackend.h"

#include "platform/qt/QtCaptureStream.h"
#include "platform/qt/QtPlaybackStream.h"

#include <QAudioSink>
#include <QAudioSource>
#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMediaDevices>
#include <QSet>

namespace kavro::platform {

namespace {

// Each device once: after PulseAudio restarts, Qt lists the devices it had before a
// second time.
QList<AudioDeviceDescription> describeEach(const QList<QAudioDevice>& devices) {
    QList<AudioDeviceDescription> described;
    QSet<QByteArray> seen;
    for (const auto& device : devices) {
        if (!seen.contains(device.id())) {
            seen.insert(device.id());
            described.append(describeDevice(device));
        }
    }
    return described;
}

// Qt's PulseAudio layer makes its connection for streams on the thread that first
// opens one, and after the sound server restarts it reconnects only through that
// thread's event loop. Our streams live on threads that end with them, so a
// connection made there could never come back: it is made here, on the main thread,
// by a start that Qt refuses (an empty format) before it opens anything. Once is
// enough for the process; without any device there is nothing to do it with yet.
void anchorAudioConnectionToMainThread() {
    static bool anchored = false;
    if (anchored) {
        return;
    }
    QBuffer nowhere;
    nowhere.open(QIODevice::ReadWrite);
    if (const QAudioDevice input = QMediaDevices::defaultAudioInput(); !input.isNull()) {
        QAudioSource refused(input, QAudioFormat());
        refused.start(&nowhere);
        anchored = true;
    } else if (const QAudioDevice output = QMediaDevices::defaultAudioOutput(); !output.isNull()) {
        QAudioSink refused(output, QAudioFormat());
        refused.start(&nowhere);
        anchored = true;
    }
}

} // namespace

AudioDeviceDescription describeDevice(const QAudioDevice& device) {
    AudioDeviceDescription description;
    description.uid = QString::fromUtf8(device.id());
    description.name = device.description();
    // Qt reports no manufacturer; the device manager shows "Unknown" for the empty one.
    // The real channel count is the preferred format's: PulseAudio sources report a
    // maximum of 32 whatever they carry.
    const QAudioFormat preferred = device.preferredFormat();
    description.channelCount = preferred.channelCount();
    description.sampleRate = preferred.sampleRate();
    description.isDefault = device.isDefault();
    return description;
}

DeviceBoundStream::DeviceBoundStream(QtAudioBackend& backend, const QString& threadName,
                                     const std::function<void()>& onConfigurationChanged)
    : m_backend(backend), m_registration(backend.registerStream(this)),
      m_onConfigurationChanged(onConfigurationChanged) {
    if (!threadName.isEmpty()) {
        m_thread.emplace(threadName);
    }
}

DeviceBoundStream::~DeviceBoundStream() {
    m_backend.unregisterStream(m_registration);
}

void DeviceBoundStream::checkConfiguration() {
    if (m_started && (m_failed.exchange(false) || deviceChanged() || stalled())) {
        const auto handler = m_onConfigurationChanged;
        if (handler) {
            handler();
        }
    }
}

std::optional<QString>
DeviceBoundStream::startStream(const std::function<std::optional<QString>(std::atomic<bool>& failed)>& work) {
    if (m_started) {
        return std::nullopt;
    }
    std::optional<QString> error;
    if (m_thread) {
        m_thread->run([&] { error = work(m_failed); });
    } else {
        error = work(m_failed);
    }
    m_started = !error;
    m_failed.store(false);
    return error;
}

void DeviceBoundStream::stopStream(const std::function<void()>& teardown) {
    if (!m_started) {
        return;
    }
    // Once the stream is torn down, no callback is in flight.
    if (m_thread) {
        m_thread->run(teardown);
    } else {
        teardown();
    }
    m_started = false;
    m_failed.store(false);
}

QtAudioBackend::QtAudioBackend(QObject* parent) : QObject(parent) {
    m_mediaDevices = new QMediaDevices(this);
    connect(m_mediaDevices, &QMediaDevices::audioInputsChanged, this, &QtAudioBackend::refresh);
    connect(m_mediaDevices, &QMediaDevices::audioOutputsChanged, this, &QtAudioBackend::refresh);
    m_snapshot = takeSnapshot();
    m_refreshTimer.setInterval(kRefreshInterval);
    connect(&m_refreshTimer, &QTimer::timeout, this, &QtAudioBackend::refresh);
    m_refreshTimer.start();
    anchorAudioConnectionToMainThread();
}

QtAudioBackend::~QtAudioBackend() = default;

QtAudioBackend::Snapshot QtAudioBackend::takeSnapshot() {
    const auto describe = [](const QList<QAudioDevice>& devices) {
        QList<DeviceState> states;
        for (const auto& device : devices) {
            const QAudioFormat preferred = device.preferredFormat();
            states.append({device.id(), device.description(), device.isDefault(), preferred.sampleRate(),
                           preferred.channelCount()});
        }
        return states;
    };
    return {describe(QMediaDevices::audioInputs()), describe(QMediaDevices::audioOutputs())};
}

void QtAudioBackend::refresh() {
    Snapshot current = takeSnapshot();
    if (!(current == m_snapshot)) {
        m_snapshot = std::move(current);
        notifyDevicesChanged();
    }
    // A stream may be destroyed by its owner while it reports.
    forEachStillRegistered(m_streams, [](DeviceBoundStream* stream) { stream->checkConfiguration(); });
}

void QtAudioBackend::waitForDeviceLists(std::chrono::milliseconds timeout) {
    // Looks every few milliseconds from a sleeping event loop, so the wait costs
    // next to no processor time.
    constexpr auto kLookInterval = std::chrono::milliseconds(25);
    constexpr int kSteadyLooks = 8;
    const QDeadlineTimer deadline(timeout);
    Snapshot previous = takeSnapshot();
    int steadyLooks = 0;
    QEventLoop loop;
    QTimer look;
    look.setInterval(kLookInterval);
    connect(&look, &QTimer::timeout, &loop, [&] {
        Snapshot current = takeSnapshot();
        if (!(current == previous)) {
            previous = std::move(current);
            steadyLooks = 0;
        } else {
            ++steadyLooks;
        }
        const bool settled =
            steadyLooks >= kSteadyLooks && !previous.inputs.isEmpty() && !previous.outputs.isEmpty();
        if (settled || deadline.hasExpired()) {
            loop.quit();
        }
    });
    look.start();
    loop.exec();
    refresh();
}

QList<AudioDeviceDescription> QtAudioBackend::inputDevices() const {
    return describeEach(QMediaDevices::audioInputs());
}

QList<AudioDeviceDescription> QtAudioBackend::outputDevices() const {
    return describeEach(QMediaDevices::audioOutputs());
}

QAudioDevice QtAudioBackend::findDevice(QAudioDevice::Mode mode, const QString& uid) {
    const QByteArray id = uid.toUtf8();
    const auto devices =
        mode == QAudioDevice::Input ? QMediaDevices::audioInputs() : QMediaDevices::audioOutputs();
    for (const auto& device : devices) {
        if (device.id() == id) {
            return device;
        }
    }
    return {};
}

QAudioDevice QtAudioBackend::defaultDevice(QAudioDevice::Mode mode) {
    return mode == QAudioDevice::Input ? QMediaDevices::defaultAudioInput()
                                       : QMediaDevices::defaultAudioOutput();
}

std::uint64_t QtAudioBackend::registerStream(DeviceBoundStream* stream) {
    const std::uint64_t id = m_nextStreamId++;
    m_streams.emplace(id, stream);
    return id;
}

void QtAudioBackend::unregisterStream(std::uint64_t id) {
    m_streams.erase(id);
}

std::unique_ptr<CaptureStream> QtAudioBackend::openCapture(const QString& deviceUid, int deviceChannel,
                                                           int framesPerBuffer, CaptureCallback callback) {
    anchorAudioConnectionToMainThread();
    return std::make_unique<QtCaptureStream>(*this, deviceUid, deviceChannel, framesPerBuffer,
                                             std::move(callback));
}

std::unique_ptr<PlaybackStream> QtAudioBackend::openPlayback(const QString& deviceUid, PlaybackFormat format,
                                                             RenderCallback render) {
    anchorAudioConnectionToMainThread();
    return std::make_unique<QtPlaybackStream>(*this, deviceUid, format, std::move(render));
}

} // namespace kavro::platform
