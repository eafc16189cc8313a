// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/AudioMeasurementService.h"

#include "models/NumberText.h"
#include "platform/Clock.h"
#include "services/AudioDeviceManager.h"
#include "services/OutputSource.h"

#include <QPointer>
#include <QTimer>

#include <cmath>
#include <thread>

namespace kavro::services {

AudioMeasurementService::AudioMeasurementService(platform::AudioBackend& backend,
                                                 AudioDeviceManager& deviceManager,
                                                 const platform::Clock& clock, double calibrationOffset,
                                                 QObject* parent)
    : QObject(parent), m_backend(backend), m_deviceManager(deviceManager), m_clock(clock),
      m_calibrationOffset(calibrationOffset) {
    m_watchTimer.setSingleShot(true);
    connect(&m_watchTimer, &QTimer::timeout, this, &AudioMeasurementService::watchTick);
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

void AudioMeasurementService::retuneFilters(double sampleRate, int channelCount) {
    m_currentSampleRate = sampleRate;
    // The microphone's stream delivers its measured channel only.
    m_meters.restart(sampleRate, m_outputSource ? static_cast<std::size_t>(std::max(channelCount, 1)) : 1);
}

void AudioMeasurementService::setOutputSource(OutputSource* source) {
    if (source == m_outputSource) {
        return;
    }
    disconnect(m_outputConnection);
    m_outputSource = source;
    if (source) {
        m_outputConnection =
            connect(source, &OutputSource::changed, this, &AudioMeasurementService::outputChanged);
        outputChanged();
    }
    switchDevice();
}

void AudioMeasurementService::outputChanged() {
    const auto output = m_outputSource->measuredOutput();
    const auto gain =
        output ? OutputSource::gainDb(*output, m_outputSource->referenceOf(*output)) : std::nullopt;
    m_outputGainDb.store(gain.value_or(0.0));
    m_outputSilent.store(!gain);
    // The user switched the default output (or a chosen one came back): capture follows.
    // One that is simply gone fails its stream, which is handled as for the microphone.
    if (m_isRunning && !m_pausedForConfigurationChange && output && output->name != m_streamDeviceUid) {
        switchDevice();
    }
}

std::unique_ptr<platform::CaptureStream> AudioMeasurementService::openStream() {
    platform::CaptureCallback callback = [this](std::span<const float> samples) {
        processAudioBuffer(samples);
    };
    m_measuringOutput.store(m_outputSource != nullptr);
    if (m_outputSource) {
        const auto output = m_outputSource->measuredOutput();
        m_streamDeviceUid = output ? output->name : QString();
        return m_outputSource->open(kFramesPerBuffer, std::move(callback));
    }
    m_streamDeviceUid = m_deviceManager.captureDeviceUID();
    return m_backend.openCapture(m_streamDeviceUid, static_cast<int>(m_deviceManager.selectedChannelIndex()),
                                 kFramesPerBuffer, std::move(callback));
}

void AudioMeasurementService::start() {
    if (!m_hasPermission || m_wanted) {
        return;
    }
    m_wanted = true;
    if (!openAndStart(true)) {
        beginLoss();
    }
}

bool AudioMeasurementService::openAndStart(bool reportProblems) {
    setRunning(true);

    auto stream = openStream();
    const platform::CaptureFormat format = stream->format();
    if (!(format.sampleRate > 0) || format.channelCount <= 0) {
        if (reportProblems) {
            emit problem(
                QStringLiteral("[Kavro] start: invalid audio format (sampleRate=%1 channels=%2) — aborting")
                    .arg(models::shortestFixedText(format.sampleRate))
                    .arg(static_cast<unsigned>(std::max(format.channelCount, 0))));
        }
        setRunning(false);
        return false;
    }

    // No buffer runs yet, so the main thread may retune the capture thread's state.
    retuneFilters(format.sampleRate, format.channelCount);
    m_generation.fetch_add(1);
    m_interval.clear();

    if (const auto error = stream->start()) {
        if (reportProblems) {
            emit problem(QStringLiteral("[Kavro] Failed to start audio engine: ") + *error);
        }
        stream->stop();
        setRunning(false);
        return false;
    }
    m_stream = std::move(stream);
    const std::uint64_t serial = ++m_streamSerial;
    m_stream->onConfigurationChanged = [this, serial] { handleConfigurationChange(serial); };
    m_awaitingBufferSince = m_clock.elapsed();
    scheduleWatch();
    return true;
}

void AudioMeasurementService::stop() {
    // A restart still pending from switchDevice() would bring capture back after the
    // owner ended it.
    ++m_switchSerial;
    m_wanted = false;
    const bool wasRetrying = m_lostAt.has_value();
    m_lostAt.reset();
    m_watchTimer.stop();
    if (m_isRunning) {
        halt();
    } else if (wasRetrying) {
        emit changed();
    }
}

void AudioMeasurementService::halt() {
    if (!m_isRunning) {
        return;
    }
    m_isRunning = false;
    setRawSampleCallback({});
    m_pausedForConfigurationChange = false;
    m_awaitingBufferSince.reset();
    if (m_stream) {
        m_stream->stop();
        m_stream.reset();
    }
    // Readings of buffers before the stop may still wait to be collected: they belong
    // to the old generation and are dropped, so the zeros stay. Their audio is not taken
    // any more either (the feed stops with capture), and what the interval holds now
    // would otherwise open the first interval of the next start.
    m_generation.fetch_add(1);
    m_interval.clear();
    publishZeros();
}

void AudioMeasurementService::loseCapture() {
    halt();
    if (!m_lostAt) {
        beginLoss();
        return;
    }
    // Still the same loss: a stream started by a retry that failed before it delivered.
    m_nextRetryAt = m_clock.elapsed() + m_retryDelay;
    scheduleWatch();
}

void AudioMeasurementService::beginLoss() {
    m_lostAt = m_clock.elapsed();
    m_retryDelay = kFirstRetryDelay;
    m_nextRetryAt = *m_lostAt + m_retryDelay;
    m_disconnectReported = false;
    scheduleWatch();
    emit problem(QStringLiteral("[Kavro] No usable audio input — retrying"));
    emit changed();
    if (onCaptureLost) {
        onCaptureLost();
    }
}

void AudioMeasurementService::endLoss() {
    const double seconds = static_cast<double>((m_clock.elapsed() - *m_lostAt).count()) / 1000.0;
    m_lostAt.reset();
    emit problem(QStringLiteral("[Kavro] Audio input back after %1 s").arg(models::fixedText(seconds, 1)));
    if (onCaptureResumed) {
        onCaptureResumed();
    }
}

void AudioMeasurementService::scheduleWatch() {
    std::optional<std::chrono::milliseconds> due;
    const auto consider = [&due](std::chrono::milliseconds moment) {
        due = due ? std::min(*due, moment) : moment;
    };
    if (m_isRunning && m_awaitingBufferSince) {
        consider(*m_awaitingBufferSince + kFirstBufferTimeout);
    }
    if (m_lostAt && !m_isRunning) {
        consider(m_nextRetryAt);
    }
    if (m_lostAt && !m_disconnectReported) {
        consider(*m_lostAt + kDisconnectAfter);
    }
    if (!due) {
        m_watchTimer.stop();
        return;
    }
    m_watchTimer.start(std::max(*due - m_clock.elapsed(), std::chrono::milliseconds(0)));
}

bool AudioMeasurementService::hasUsableInput() const {
    if (m_outputSource) {
        return m_outputSource->measuredOutput().has_value();
    }
    const QString& selected = m_deviceManager.selectedDeviceUID();
    if (!m_streamDeviceUid.isEmpty() && m_streamDeviceUid == selected) {
        return m_deviceManager.hasInputDevice(selected);
    }
    return !m_deviceManager.inputDevices().isEmpty();
}

void AudioMeasurementService::watchTick() {
    const auto now = m_clock.elapsed();
    if (m_isRunning) {
        // Paused, the stream is being looked at again; the resume watches it anew.
        if (m_awaitingBufferSince && !m_pausedForConfigurationChange &&
            now - *m_awaitingBufferSince >= kFirstBufferTimeout) {
            loseCapture();
        }
    } else if (isRetrying() && now >= m_nextRetryAt) {
        if (!hasUsableInput() || !openAndStart(false)) {
            m_retryDelay = std::min(m_retryDelay * 2, kLongestRetryDelay);
            m_nextRetryAt = now + m_retryDelay;
        }
    }
    // Whoever watches the published values may have stopped capture on the way.
    const bool disconnectDue = isRetrying() && !m_disconnectReported && now - *m_lostAt >= kDisconnectAfter;
    m_disconnectReported = m_disconnectReported || disconnectDue;
    scheduleWatch();
    if (disconnectDue && onDeviceDisconnected) {
        onDeviceDisconnected();
    }
}

void AudioMeasurementService::restart() {
    // Within a loss a failed start is one more failed attempt, and that was said already.
    if (!openAndStart(!m_lostAt)) {
        loseCapture();
    }
}

void AudioMeasurementService::switchDevice() {
    if (!m_isRunning) {
        return;
    }
    // Capture stays wanted (and a loss stays counted) while the switch waits.
    halt();
    const std::uint64_t serial = ++m_switchSerial;
    QTimer::singleShot(kSwitchDelay, this, [this, serial] {
        if (serial == m_switchSerial && m_wanted && !m_isRunning) {
            restart();
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
    if (m_outputSource) {
        // The output went away: the one now measured (the new default), if any, is opened.
        const auto output = m_outputSource->measuredOutput();
        if (!output) {
            loseCapture();
            return;
        }
        if (output->name != m_streamDeviceUid) {
            halt();
            restart();
            return;
        }
    } else {
        m_deviceManager.refreshDevices();
        // A chosen microphone that is gone is waited for.
        const QString& selected = m_deviceManager.selectedDeviceUID();
        if (!selected.isEmpty() && !m_deviceManager.hasInputDevice(selected)) {
            loseCapture();
            return;
        }
    }

    // The stream looks at its device again before it delivers anything, so a changed
    // rate is applied to the filters while no buffer can be running through them.
    std::optional<QString> error = m_stream->reopen(static_cast<int>(m_deviceManager.selectedChannelIndex()));
    if (!error) {
        const platform::CaptureFormat format = m_stream->format();
        if (format.sampleRate > 0 &&
            (format.sampleRate != m_currentSampleRate ||
             (m_outputSource && static_cast<std::size_t>(format.channelCount) != m_meters.channelCount()))) {
            retuneFilters(format.sampleRate, format.channelCount);
            m_generation.fetch_add(1);
            emit changed();
        }
        error = m_stream->start();
    }
    if (!error) {
        // A stream that was silent before the change is still waited for from then.
        if (!m_awaitingBufferSince) {
            m_awaitingBufferSince = m_clock.elapsed();
        }
        scheduleWatch();
        return;
    }
    emit problem(QStringLiteral("[Kavro] Engine restart after config change failed (") + *error +
                 QStringLiteral(") — doing full restart"));
    halt();
    restart();
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
    ReadingHandOver::Entry entry{generation, m_meters.channelCount(), {}};
    if (m_measuringOutput.load()) {
        m_meters.process(samples, m_outputGainDb.load(), m_outputSilent.load(), nullptr, entry.readings);
    } else {
        callRawSampleCallback(samples, m_meters.sampleRate());
        m_meters.process(samples, m_calibrationOffset.load(), false, m_micFreqCorrection.load(),
                         entry.readings);
    }
    // The first buffer of a start is published at once: it ends a loss, and the gap the
    // session records must not stretch to the next collect.
    std::size_t wakeAfterFrames = 0;
    if (generation == m_generationDelivered) {
        wakeAfterFrames = static_cast<std::size_t>(
            2.0 * std::chrono::duration<double>(m_collectInterval.load()).count() * m_meters.sampleRate());
    }
    m_generationDelivered = generation;
    if (m_handOver.push(entry, wakeAfterFrames)) {
        QMetaObject::invokeMethod(
            this, [this] { collect(); }, Qt::QueuedConnection);
    }
}

void AudioMeasurementService::collect() {
    // A handler of changed() that collects again finds the readings already being taken.
    if (m_collecting) {
        return;
    }
    m_collecting = true;
    // The buffers since the last announcement share one alert state; a buffer that
    // changes it is announced on its own, so that whoever watches sees every rise and
    // fall with the peak that made it.
    std::optional<dsp::MeterReading> pending;
    m_handOver.collect([&](const ReadingHandOver::Entry& entry) {
        // Checked at each buffer: whoever watches an announcement may stop or restart.
        if (!m_isRunning || entry.generation != m_generation.load()) {
            pending.reset();
            return;
        }
        m_interval.add(entry.channels(), m_currentSampleRate);
        const dsp::MeterReading reading = dsp::louderReading(entry.channels());
        if (reading.peakAlert != (pending ? pending->peakAlert : m_peakAlert)) {
            if (pending) {
                announce(*pending, entry.generation);
            }
            pending.reset();
            announce(reading, entry.generation);
        } else if (pending) {
            ReadingHandOver::merge(*pending, reading);
        } else {
            pending = reading;
        }
    });
    if (pending) {
        // Nothing was announced since its buffers were checked, so their generation holds.
        announce(*pending, m_generation.load());
    }
    m_collecting = false;
}

void AudioMeasurementService::announce(const dsp::MeterReading& reading, std::uint64_t generation) {
    // Whoever watched the announcement before may have stopped or restarted capture.
    if (!m_isRunning || generation != m_generation.load()) {
        return;
    }
    m_currentSPL = reading.smoothedDBA;
    m_currentDBC = reading.smoothedDBC;
    m_peakDBC = reading.peakDBC;
    m_peakDBA = reading.peakDBA;
    m_peakAlert = reading.peakAlert;
    m_lastBuffer = reading;
    ++m_publishedBuffers;
    if (m_awaitingBufferSince) {
        m_awaitingBufferSince.reset();
        scheduleWatch();
    }
    // The first buffer after a loss: the input is back.
    if (m_lostAt) {
        endLoss();
    }
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
