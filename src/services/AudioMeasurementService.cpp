// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/AudioMeasurementService.h"

#include "models/NumberText.h"
#include "services/AudioDeviceManager.h"

#include <QPointer>
#include <QTimer>

#include <cmath>
#include <thread>

namespace kavro::services {

AudioMeasurementService::AudioMeasurementService(platform::AudioBackend& backend,
                                                 AudioDeviceManager& deviceManager, double calibrationOffset,
                                                 QObject* parent)
    : QObject(parent), m_backend(backend), m_deviceManager(deviceManager),
      m_calibrationOffset(calibrationOffset) {
    checkPermission();
}

AudioMeasurementService::~AudioMeasurementService() {
    if (m_stream) {
        m_stream->stop();
    }
}

void AudioMeasurementService::checkPermission() {
    switch (m_backend.microphonePermission()) {
    case platform::MicrophonePermission::NotDetermined: {
        QPointer<AudioMeasurementService> self(this);
        m_backend.requestMicrophonePermission([self](bool granted) {
            if (!self) {
                return;
            }
            QMetaObject::invokeMethod(
                self,
                [self, granted] {
                    self->m_hasPermission = granted;
                    emit self->changed();
                },
                Qt::QueuedConnection);
        });
        break;
    }
    case platform::MicrophonePermission::Authorized:
        m_hasPermission = true;
        break;
    case platform::MicrophonePermission::Denied:
    case platform::MicrophonePermission::Restricted:
        m_hasPermission = false;
        break;
    }
}

void AudioMeasurementService::setRunning(bool running) {
    m_isRunning = running;
    emit changed();
}

void AudioMeasurementService::retuneFilters(double sampleRate) {
    m_currentSampleRate = sampleRate;
    m_meter.restart(sampleRate);
}

void AudioMeasurementService::start() {
    if (!m_hasPermission || m_isRunning) {
        return;
    }
    setRunning(true);

    auto stream = m_backend.openCapture(
        m_deviceManager.captureDeviceUID(), static_cast<int>(m_deviceManager.selectedChannelIndex()),
        kFramesPerBuffer, [this](std::span<const float> samples) { processAudioBuffer(samples); });
    const platform::CaptureFormat format = stream->format();
    if (!(format.sampleRate > 0) || format.channelCount <= 0) {
        emit problem(
            QStringLiteral("[Kavro] start: invalid audio format (sampleRate=%1 channels=%2) — aborting")
                .arg(models::shortestFixedText(format.sampleRate))
                .arg(static_cast<unsigned>(std::max(format.channelCount, 0))));
        setRunning(false);
        return;
    }

    // No buffer runs yet, so the main thread may retune the capture thread's state.
    retuneFilters(format.sampleRate);
    m_generation.fetch_add(1);
    m_interval.clear();

    if (const auto error = stream->start()) {
        emit problem(QStringLiteral("[Kavro] Failed to start audio engine: ") + *error);
        stream->stop();
        setRunning(false);
        return;
    }
    m_stream = std::move(stream);
    const std::uint64_t serial = ++m_streamSerial;
    m_stream->onConfigurationChanged = [this, serial] { handleConfigurationChange(serial); };
}

void AudioMeasurementService::stop() {
    // A restart still pending from switchDevice() would bring capture back after the
    // owner ended it.
    ++m_switchSerial;
    if (!m_isRunning) {
        return;
    }
    m_isRunning = false;
    setRawSampleCallback({});
    m_pausedForConfigurationChange = false;
    if (m_stream) {
        m_stream->stop();
        m_stream.reset();
    }
    // Updates posted by buffers before the stop may still be queued: they belong to
    // the old generation and are dropped, so the zeros stay. Their audio is not taken
    // any more either (the feed stops with capture), and what the interval holds now
    // would otherwise open the first interval of the next start.
    m_generation.fetch_add(1);
    m_interval.clear();
    publishZeros();
}

void AudioMeasurementService::switchDevice() {
    if (!m_isRunning) {
        return;
    }
    stop();
    const std::uint64_t serial = m_switchSerial;
    QTimer::singleShot(kSwitchDelay, this, [this, serial] {
        if (serial == m_switchSerial) {
            start();
        }
    });
}

void AudioMeasurementService::handleConfigurationChange(std::uint64_t streamSerial) {
    // A second change while paused is covered by the resume already pending.
    if (!m_isRunning || !m_stream || streamSerial != m_streamSerial || m_pausedForConfigurationChange) {
        return;
    }
    m_stream->stop();
    m_pausedForConfigurationChange = true;
    QTimer::singleShot(kConfigurationChangeDelay, this,
                       [this, streamSerial] { resumeAfterConfigurationChange(streamSerial); });
}

void AudioMeasurementService::resumeAfterConfigurationChange(std::uint64_t streamSerial) {
    if (!m_isRunning || !m_stream || streamSerial != m_streamSerial || !m_pausedForConfigurationChange) {
        return;
    }
    m_pausedForConfigurationChange = false;
    m_deviceManager.refreshDevices();

    const QString& selected = m_deviceManager.selectedDeviceUID();
    if (!selected.isEmpty() && !m_deviceManager.hasInputDevice(selected)) {
        stop();
        if (onDeviceDisconnected) {
            onDeviceDisconnected();
        }
        return;
    }

    // The stream looks at its device again before it delivers anything, so a changed
    // rate is applied to the filters while no buffer can be running through them.
    std::optional<QString> error = m_stream->reopen(static_cast<int>(m_deviceManager.selectedChannelIndex()));
    if (!error) {
        const platform::CaptureFormat format = m_stream->format();
        if (format.sampleRate > 0 && format.sampleRate != m_currentSampleRate) {
            retuneFilters(format.sampleRate);
            m_generation.fetch_add(1);
            emit changed();
        }
        error = m_stream->start();
    }
    if (error) {
        emit problem(QStringLiteral("[Kavro] Engine restart after config change failed (") + *error +
                     QStringLiteral(") — doing full restart"));
        stop();
        start();
    }
}

void AudioMeasurementService::setRawSampleCallback(RawSampleCallback callback) {
    std::unique_ptr<RawSampleCallback> replacement;
    if (callback) {
        replacement = std::make_unique<RawSampleCallback>(std::move(callback));
    }
    m_rawSampleCallback.store(replacement.get());
    // The capture thread may still be inside the old tap: wait for it to return
    // before freeing it. The capture side sets the flag before it reads the pointer,
    // so once the flag is seen clear, no call can reach the old tap any more.
    while (m_inRawSampleCallback.load()) {
        std::this_thread::yield();
    }
    m_rawSampleCallbackOwner = std::move(replacement);
}

bool AudioMeasurementService::hasRawSampleCallback() const {
    return m_rawSampleCallback.load() != nullptr;
}

void AudioMeasurementService::callRawSampleCallback(std::span<const float> samples, double sampleRate) {
    m_inRawSampleCallback.store(true);
    if (const RawSampleCallback* callback = m_rawSampleCallback.load()) {
        (*callback)(samples, sampleRate);
    }
    m_inRawSampleCallback.store(false);
}

void AudioMeasurementService::processAudioBuffer(std::span<const float> samples) {
    if (samples.empty() || samples.data() == nullptr) {
        return;
    }
    const std::uint64_t generation = m_generation.load();
    callRawSampleCallback(samples, m_meter.sampleRate());
    const Update update{generation,
                        m_meter.process(samples, m_calibrationOffset.load(), m_micFreqCorrection.load())};
    QMetaObject::invokeMethod(
        this, [this, update] { publish(update); }, Qt::QueuedConnection);
}

void AudioMeasurementService::publish(const Update& update) {
    if (!m_isRunning || update.generation != m_generation.load()) {
        return;
    }
    const dsp::MeterReading& reading = update.reading;
    m_currentSPL = reading.smoothedDBA;
    m_currentDBC = reading.smoothedDBC;
    m_peakDBC = reading.peakDBC;
    m_peakDBA = reading.peakDBA;
    m_peakAlert = reading.peakAlert;
    m_lastBuffer = reading;
    m_interval.add(reading, m_currentSampleRate);
    emit changed();
}

void AudioMeasurementService::publishZeros() {
    m_currentSPL = 0;
    m_currentDBC = 0;
    m_peakDBC = 0;
    m_peakDBA = 0;
    m_peakAlert = false;
    m_lastBuffer = {};
    emit changed();
}

} // namespace kavro::services
