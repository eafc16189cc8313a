// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ChannelLevelMeters.h"
#include "dsp/LouderChannelInterval.h"
#include "platform/AudioBackend.h"
#include "services/ReadingHandOver.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace kavro::platform {
class Clock;
}

namespace kavro::services {

class AudioDeviceManager;
class OutputSource;

// The live sound level meter. Every capture buffer runs through one pipeline on the
// capture thread (raw-sample tap, then the level meter: mic correction, A/C weighting,
// RMS and peaks, calibration offset, smoothing); the results are handed to the main
// thread, which alone assigns the published values and adds every buffer's energy and
// peaks to the current measurement interval. The buffers collected together are
// published together, with one wake of the main thread and one changed().
//
// Capture that was asked for stays asked for until stop(): when the input goes away
// (its device vanished, the sound server died or restarted) or a start finds none, the
// service tries again, one second later and then less often, up to every five seconds,
// until audio flows again, and says so once the input has been missing for 30 s.
//
// The audio is the microphone's, or, with an output source set, the signal on its way
// to an output, measured in each of its channels: the louder ear counts.
class AudioMeasurementService : public QObject {
    Q_OBJECT
public:
    // Receives every buffer's raw samples (before correction and weighting) and the
    // capture rate, on the capture thread.
    using RawSampleCallback = std::function<void(std::span<const float> samples, double sampleRate)>;

    static constexpr int kFramesPerBuffer = 1024;

    // The retries and the 30 s read the clock.
    AudioMeasurementService(platform::AudioBackend& backend, AudioDeviceManager& deviceManager,
                            const platform::Clock& clock, double calibrationOffset,
                            QObject* parent = nullptr);
    ~AudioMeasurementService() override;

    // Published values (main thread).
    double currentSPL() const { return m_currentSPL; }
    double currentDBC() const { return m_currentDBC; }
    // The highest weighted peaks of the buffers published last (those collected together).
    double peakDBC() const { return m_peakDBC; }
    double peakDBA() const { return m_peakDBA; }
    bool isRunning() const { return m_isRunning; }
    // Capture was started and not stopped since, whether or not audio flows.
    bool isCaptureWanted() const { return m_wanted; }
    // Capture is wanted but no audio flows since the input went away (or since a start
    // that found none): the service is trying again.
    bool isRetrying() const { return m_wanted && m_lostAt.has_value(); }
    bool hasPermission() const { return m_hasPermission; }
    // One of the buffers published last reached the C-weighted alert threshold.
    bool peakAlert() const { return m_peakAlert; }
    // Everything the meter made of the buffers published last (the louder channel of
    // each), as if they were one: their frames and unsmoothed energy summed, their
    // highest peaks, the newest smoothed levels. An observer of changed() that adds these
    // up misses no buffer.
    const dsp::MeterReading& lastBuffer() const { return m_lastBuffer; }
    // How many times buffers have been published since construction: tells an observer
    // of changed() whether lastBuffer() is a new one.
    std::uint64_t publishedBuffers() const { return m_publishedBuffers; }

    // The LAeq/LCeq, highest peaks and length of all the audio published since the last
    // call (or since capture started), and a new interval begins. Main thread.
    dsp::IntervalLevels takeInterval() { return m_interval.take(); }

    double currentSampleRate() const { return m_currentSampleRate; }

    // Takes effect from the next buffer, without a restart.
    double calibrationOffset() const { return m_calibrationOffset.load(); }
    void setCalibrationOffset(double offsetDb) { m_calibrationOffset.store(offsetDb); }

    // Installs or clears (an empty function) the raw-sample tap. Clearing waits until
    // a call in progress on the capture thread has returned. stop() clears it too.
    void setRawSampleCallback(RawSampleCallback callback);
    bool hasRawSampleCallback() const;

    // Measures the output source's output from now on (null: the microphone again),
    // restarting capture if it runs. The source must outlive the service, or be
    // replaced first.
    void setOutputSource(OutputSource* source);
    OutputSource* outputSource() const { return m_outputSource; }

    // The application's correction object; it must outlive the service.
    void setMicFreqCorrection(dsp::MicCorrectionHook* correction) { m_micFreqCorrection.store(correction); }
    dsp::MicCorrectionHook* micFreqCorrection() const { return m_micFreqCorrection.load(); }

    // Audio stopped flowing while capture is wanted: retrying begins.
    std::function<void()> onCaptureLost;
    // Audio flows again after onCaptureLost.
    std::function<void()> onCaptureResumed;
    // Called once per loss when the input has been missing for kDisconnectAfter. The
    // service goes on trying until stop().
    std::function<void()> onDeviceDisconnected;

    static constexpr std::chrono::milliseconds kSwitchDelay{200};
    static constexpr std::chrono::milliseconds kConfigurationChangeDelay{400};
    static constexpr std::chrono::milliseconds kFirstRetryDelay{1000};
    static constexpr std::chrono::milliseconds kLongestRetryDelay{5000};
    // A stream started (or resumed) that has not delivered a buffer by then counts as
    // lost (an idle PulseAudio source may take two seconds to deliver its first).
    static constexpr std::chrono::milliseconds kFirstBufferTimeout{4000};
    static constexpr std::chrono::milliseconds kDisconnectAfter{30000};

    void start();
    void stop();
    // Applies a changed device or channel selection: stops the stream, and starts
    // again 0.2 s later unless stop() is called in between.
    void switchDevice();
    void checkPermission();
    // The watch timer's handler: gives up a stream that delivers nothing, tries again
    // while the input is gone and reports a lasting loss, whatever is due by the clock.
    // Tests call it directly.
    void watchTick();

    // The per-buffer pipeline; capture streams call it on their thread.
    void processAudioBuffer(std::span<const float> samples);

    // Publishes every buffer measured since the last call. Without an owner that calls
    // it, each delivery of the device wakes the main thread to do so.
    void collect();
    // An owner that calls collect() on a timer of its own says how often: the main
    // thread is then woken for the readings only when audio of twice that has waited
    // (the timer is late). Zero: every delivery wakes it, as without an owner.
    void setCollectInterval(std::chrono::milliseconds interval) { m_collectInterval.store(interval); }

signals:
    // Emitted on the main thread whenever a published value was assigned.
    void changed();
    // Capture met a problem: a start that failed (whoever asked for it, including the
    // service's own restarts after a device switch or a configuration change), or a
    // restart in place that failed. `consoleLine` reports it in the program's words; the
    // owner decides where it goes. Emitted on the main thread.
    void problem(const QString& consoleLine);

private:
    // Opens and starts a stream on the selected input; false (running nothing) when
    // that fails, reported through problem() when asked to.
    bool openAndStart(bool reportProblems);
    // Stops the stream and publishes zeros; whether capture is wanted is left alone.
    void halt();
    // The stream stopped for good while wanted: retry, within the loss already counted
    // if there is one.
    void loseCapture();
    // Opens a fresh stream for capture that is wanted; a failure is a loss.
    void restart();
    void beginLoss();
    void endLoss();
    // Sets the watch timer for the next thing due, if any.
    void scheduleWatch();
    bool hasUsableInput() const;
    std::unique_ptr<platform::CaptureStream> openStream();
    // The output source's state changed: the level's offset, or another output to follow.
    void outputChanged();
    void handleConfigurationChange(std::uint64_t streamSerial);
    void resumeAfterConfigurationChange(std::uint64_t streamSerial);
    // Publishes the buffers announced together, merged into one reading, unless capture
    // has stopped or restarted since they were measured in `generation`.
    void announce(const dsp::MeterReading& reading, std::uint64_t generation);
    void publishZeros();
    void setRunning(bool running);
    void retuneFilters(double sampleRate, int channelCount);
    void callRawSampleCallback(std::span<const float> samples, double sampleRate);

    platform::AudioBackend& m_backend;
    AudioDeviceManager& m_deviceManager;
    const platform::Clock& m_clock;
    std::unique_ptr<platform::CaptureStream> m_stream;
    // Tells a delayed task whether the stream it was scheduled for is still the one.
    std::uint64_t m_streamSerial = 0;
    // The stream is stopped after a configuration change and a resume is pending.
    bool m_pausedForConfigurationChange = false;
    // A pending switch restarts only while this still holds its number.
    std::uint64_t m_switchSerial = 0;
    OutputSource* m_outputSource = nullptr;
    QMetaObject::Connection m_outputConnection;

    // Capture is wanted from start() to stop().
    bool m_wanted = false;
    // A stream was started or resumed at this moment (Clock::elapsed()) and has not
    // delivered yet.
    std::optional<std::chrono::milliseconds> m_awaitingBufferSince;
    // While audio is not flowing although wanted: since when, the next attempt, the
    // current step between attempts, and whether the owner has been told that the input
    // is gone. A stream started by a retry ends the loss with its first buffer.
    std::optional<std::chrono::milliseconds> m_lostAt;
    std::chrono::milliseconds m_nextRetryAt{0};
    std::chrono::milliseconds m_retryDelay{kFirstRetryDelay};
    bool m_disconnectReported = false;
    // The device the stream was opened on (empty for the system default): when it is
    // lost, a chosen microphone is waited for, not replaced by another one.
    QString m_streamDeviceUid;
    QTimer m_watchTimer{this};

    // Published (main thread only).
    double m_currentSPL = 0;
    double m_currentDBC = 0;
    double m_peakDBC = 0;
    double m_peakDBA = 0;
    bool m_isRunning = false;
    bool m_hasPermission = false;
    bool m_peakAlert = false;
    dsp::MeterReading m_lastBuffer;
    std::uint64_t m_publishedBuffers = 0;
    // collect() is running: a handler of changed() that collects again finds nothing to do.
    bool m_collecting = false;
    double m_currentSampleRate = 48000.0;
    // Every published buffer of the current generation, until the feed takes it.
    dsp::LouderChannelInterval m_interval;

    // Shared with the capture thread.
    std::atomic<double> m_calibrationOffset;
    std::atomic<dsp::MicCorrectionHook*> m_micFreqCorrection{nullptr};
    // While an output is measured: its offset and whether anything reaches the ear.
    std::atomic<bool> m_measuringOutput{false};
    std::atomic<double> m_outputGainDb{0.0};
    std::atomic<bool> m_outputSilent{false};
    // The tap is owned here and read by the capture thread through the atomic pointer;
    // the flag tells the main thread when it may free a replaced tap.
    std::unique_ptr<RawSampleCallback> m_rawSampleCallbackOwner;
    std::atomic<const RawSampleCallback*> m_rawSampleCallback{nullptr};
    std::atomic<bool> m_inRawSampleCallback{false};
    // Every start and stop begins a new generation; readings of an older one are dropped.
    std::atomic<std::uint64_t> m_generation{0};
    ReadingHandOver m_handOver;
    std::atomic<std::chrono::milliseconds> m_collectInterval{std::chrono::milliseconds(0)};

    // Capture thread only while running; start() retunes it before capture begins.
    dsp::ChannelLevelMeters m_meters{48000.0, kFramesPerBuffer};
    // The generation of the last buffer measured (capture thread only).
    std::uint64_t m_generationDelivered = 0;
};

} // namespace kavro::services
