// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ResponseAccumulator.h"
#include "models/MicCalibrationState.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <span>

namespace kavro::platform {
class Clock;
}

namespace kavro::services {

class AudioMeasurementService;
class MicFrequencyCorrection;
class PinkNoisePlayer;

// Measures the response of monitors, room and microphone together with pink noise
// and turns it into the microphone correction: one second of pink noise to let the
// room settle, 200 analysis frames of the raw capture (framed on the capture thread),
// then the correction design on a background thread. A successful run stores the new
// profile and switches the correction on; a failed or cancelled one leaves the stored
// correction alone and stops what it started.
class MicResponseCalibrationService : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kSettlingDelay{1000};

    // Runs a task on the main thread after a delay; the task must not run once the
    // service is gone. Replaced by tests to drive the settling time by hand.
    using Scheduler = std::function<void(std::chrono::milliseconds delay, std::function<void()> task)>;
    // Runs the final computation off the main thread.
    using BackgroundRunner = std::function<void(std::function<void()> task)>;

    explicit MicResponseCalibrationService(platform::Clock& clock, QObject* parent = nullptr);
    ~MicResponseCalibrationService() override;

    const models::MicCalibrationState& state() const { return m_state; }
    // The settings window's "Dismiss" and "Clear Measurement" set idle directly.
    void setState(const models::MicCalibrationState& state);

    // Begins a run when idle; otherwise does nothing. The collaborators belong to the
    // caller and are held weakly. An empty or absent output UID plays on the default output.
    void start(AudioMeasurementService* audioService, PinkNoisePlayer* pinkNoisePlayer,
               std::optional<QString> outputDeviceUID, MicFrequencyCorrection* correction);
    // Stops everything the run started; the state returns to idle.
    void cancel();

    Scheduler scheduleAfter;
    BackgroundRunner runInBackground;

signals:
    void changed();

private:
    void beginCapture(std::uint64_t run);
    // Capture thread.
    void receive(std::span<const float> samples, double sampleRate);
    void computeAndSave(double sampleRate);
    void fail(const QString& message);
    void teardown();
    void watchForStops();

    platform::Clock& m_clock;
    models::MicCalibrationState m_state;

    QPointer<AudioMeasurementService> m_audioService;
    QPointer<PinkNoisePlayer> m_pinkNoisePlayer;
    QPointer<MicFrequencyCorrection> m_correction;
    bool m_didStartAudioService = false;
    QMetaObject::Connection m_audioWatch;
    QMetaObject::Connection m_playerWatch;

    // Every start and cancel begins a new run; posted steps of an older run do nothing.
    std::atomic<std::uint64_t> m_run{0};
    // Written only by the capture thread while the tap is installed; read by the main
    // thread after the frame target was reached (the tap returns at once from then on).
    dsp::ResponseAccumulator m_accumulator;
    double m_measurementSampleRate = 48000.0;
};

} // namespace kavro::services
