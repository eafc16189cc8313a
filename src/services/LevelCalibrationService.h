// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/CalibratorTone.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <optional>
#include <span>
#include <vector>

namespace kavro::services {

class AudioMeasurementService;
class PinkNoisePlayer;

// Sets the level offset from a known level: a sound calibrator on the microphone (its
// tone is checked: near 1 kHz, steady, alone) or Kavro's pink noise against what
// another meter reads. It listens for a few seconds after the input settled, to the
// same weighted energy the meter publishes (microphone correction included), and
// proposes the offset that makes Kavro read the known level, to 0.1 dB. It sets
// nothing itself: the owner applies the result and records it.
class LevelCalibrationService : public QObject {
    Q_OBJECT
public:
    enum class Phase { idle, listening, done, refused };
    enum class Refusal {
        noTone,
        wrongFrequency,
        unsteadyLevel,
        otherSoundsTooLoud,
        // The offset would move by more than 30 dB: likely the wrong input.
        largeChange,
        // The offset would leave the range the settings offer.
        outOfRange,
        noInput,
        // The raw capture is in use by a response measurement.
        busy,
    };
    enum class Weighting { a, c };

    static constexpr double kLowestOffsetDb = 60.0;
    static constexpr double kHighestOffsetDb = 120.0;
    static constexpr double kReferenceSettleSeconds = 1.0;
    // Capture that has delivered nothing by then is given up.
    static constexpr std::chrono::seconds kGiveUpAfter{10};

    explicit LevelCalibrationService(QObject* parent = nullptr);
    ~LevelCalibrationService() override;

    Phase phase() const { return m_phase; }
    // 0…1 while listening.
    double progress() const;
    const std::optional<Refusal>& refusal() const { return m_refusal; }
    // The offset found: the result when done, and with a large change the one the user
    // may still confirm.
    const std::optional<double>& offset() const { return m_offset; }
    // What was heard: the calibrator's tone.
    const std::optional<dsp::calibrator::Tone>& tone() const { return m_tone; }
    // The known level and its weighting ("Z", "A" or "C") of the run.
    double referenceLevel() const { return m_referenceLevel; }
    QString weightingName() const;
    bool isReferenceRun() const { return m_referenceRun; }
    // The capture rate of the run.
    double sampleRate() const { return m_sampleRate; }
    // Why it refused, or what it found, in the program's words.
    QString message() const;

    // Listens to a calibrator of `calibratorDb`. The collaborators must outlive the run.
    // With allowLargeChange a change of more than 30 dB is accepted.
    void startWithCalibrator(double calibratorDb, AudioMeasurementService* audio, double currentOffset,
                             bool allowLargeChange = false);
    // Plays pink noise (unless it plays already) and listens to it; `readingDb` is what
    // the other meter reads with its weighting.
    void startWithReference(double readingDb, Weighting weighting, AudioMeasurementService* audio,
                            PinkNoisePlayer* player, const std::optional<QString>& outputDeviceUID,
                            double currentOffset, bool allowLargeChange = false);
    // After a refusal for a large change: the user confirms, the run is done.
    void confirmLargeChange();
    // Stops listening; back to idle.
    void cancel();
    // After done or refused: back to idle.
    void dismiss();

signals:
    void changed();
    // A run ended with an offset to apply.
    void calibrated(double offsetDb);

private:
    bool begin(AudioMeasurementService* audio, double currentOffset, bool allowLargeChange);
    void receiveRaw(std::span<const float> samples, double sampleRate);
    void bufferPublished();
    void finish();
    std::optional<Refusal> judgeCalibrator();
    void conclude(double offsetDb);
    void refuse(Refusal reason);
    void teardown();

    Phase m_phase = Phase::idle;
    std::optional<Refusal> m_refusal;
    std::optional<double> m_offset;
    std::optional<dsp::calibrator::Tone> m_tone;
    double m_referenceLevel = 0;
    bool m_referenceRun = false;
    Weighting m_weighting = Weighting::c;
    double m_currentOffset = 0;
    bool m_allowLargeChange = false;

    QPointer<AudioMeasurementService> m_audio;
    QPointer<PinkNoisePlayer> m_player;
    bool m_startedCapture = false;
    bool m_startedNoise = false;
    bool m_tapInstalled = false;
    QMetaObject::Connection m_audioWatch;
    QTimer m_giveUp;

    // The published buffers: how many frames were skipped while settling, and the
    // weighted energy heard since.
    std::uint64_t m_lastBufferSeen = 0;
    double m_settleSeconds = 0;
    std::size_t m_settledFrames = 0;
    std::size_t m_frames = 0;
    double m_sumSquares = 0;
    double m_sampleRate = 48000.0;

    // The raw samples of a calibrator run: written by the capture thread only up to the
    // capacity, read by the main thread once the run has ended its tap.
    std::vector<float> m_raw;
    std::atomic<std::size_t> m_rawCount{0};
    std::atomic<double> m_rawRate{0};
};

} // namespace kavro::services
