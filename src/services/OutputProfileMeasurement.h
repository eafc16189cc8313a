// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace kavro::platform {
class Clock;
}

namespace kavro::services {

class AudioMeasurementService;
class OutputProfileStore;
class PinkNoisePlayer;

// Measures an output's profile for speakers: the calibration pink noise plays through the
// output at its known level while the calibrated microphone at the listening position
// reads it; the reference is what the microphone heard less the noise's level and the
// system volume. It holds for the analog volume knobs as they are set now.
class OutputProfileMeasurement : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kSettlingDelay{2000};
    static constexpr std::chrono::milliseconds kSampleInterval{100};
    static constexpr int kSampleCount = 50;

    enum class Phase { idle, settling, measuring, done, failed };

    // Which output to measure.
    struct Target {
        QString outputKey;
        QString displayName;
        // The device the pink noise plays on; none: the system default output.
        std::optional<QString> outputUID;
        // The system volume of the output in dB (0 at 100 %), when it is known; unknown
        // counts as 100 %.
        std::optional<double> volumeDb;
    };

    // Runs a task on the main thread after a delay; replaced by tests.
    using Scheduler = std::function<void(std::chrono::milliseconds delay, std::function<void()> task)>;

    // The collaborators must outlive the measurement.
    OutputProfileMeasurement(AudioMeasurementService& audioService, PinkNoisePlayer& player,
                             OutputProfileStore& store, const platform::Clock& clock,
                             QObject* parent = nullptr);
    ~OutputProfileMeasurement() override;

    Phase phase() const { return m_phase; }
    // 0 … 1 while measuring.
    double progress() const;
    // The result in words when done, the reason when failed, else empty.
    const QString& message() const { return m_message; }
    bool isRunning() const { return m_phase == Phase::settling || m_phase == Phase::measuring; }

    // Begins a run unless one runs; the profile is stored when it succeeds.
    void start(const Target& target);
    void cancel();
    // Back to idle after a result was read.
    void dismiss();

    Scheduler scheduleAfter;

signals:
    void changed();

private:
    void beginSampling(std::uint64_t run);
    void sample(std::uint64_t run);
    void finish();
    void fail(const QString& reason);
    void setPhase(Phase phase, const QString& message = {});
    void teardown();

    AudioMeasurementService& m_audioService;
    PinkNoisePlayer& m_player;
    OutputProfileStore& m_store;
    const platform::Clock& m_clock;

    Phase m_phase = Phase::idle;
    QString m_message;
    Target m_target;
    // Every start and cancel begins a new run; scheduled steps of an older run do nothing.
    std::uint64_t m_run = 0;
    int m_samples = 0;
    double m_energySum = 0;
};

} // namespace kavro::services
