// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/MicResponseCalibrationService.h"

#include "dsp/CorrectionDesign.h"
#include "models/MicCorrectionProfile.h"
#include "platform/Clock.h"
#include "services/AudioMeasurementService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/PinkNoisePlayer.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>

namespace kavro::services {

using models::MicCalibrationState;

MicResponseCalibrationService::MicResponseCalibrationService(platform::Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock) {
    scheduleAfter = [this](std::chrono::milliseconds delay, std::function<void()> task) {
        QTimer::singleShot(delay, this, std::move(task));
    };
    runInBackground = [](std::function<void()> task) {
        QThreadPool::globalInstance()->start(std::move(task));
    };
}

MicResponseCalibrationService::~MicResponseCalibrationService() {
    // The tap calls into this object from the capture thread: it must be gone first.
    teardown();
}

void MicResponseCalibrationService::setState(const MicCalibrationState& state) {
    m_state = state;
    emit changed();
}

void MicResponseCalibrationService::start(AudioMeasurementService* audioService,
                                          PinkNoisePlayer* pinkNoisePlayer,
                                          std::optional<QString> outputDeviceUID,
                                          MicFrequencyCorrection* correction) {
    if (m_state.kind() != MicCalibrationState::Kind::Idle) {
        return;
    }
    m_run.fetch_add(1);
    m_audioService = audioService;
    m_pinkNoisePlayer = pinkNoisePlayer;
    m_correction = correction;
    m_didStartAudioService = false;

    if (m_audioService && !m_audioService->isRunning()) {
        const bool wanted = m_audioService->isCaptureWanted();
        m_audioService->start();
        if (!m_audioService->isRunning()) {
            // Capture asked for here would go on trying for an input nobody waits for.
            if (!wanted) {
                m_audioService->stop();
            }
            fail(QStringLiteral("Could not start microphone input"));
            return;
        }
        m_didStartAudioService = true;
    }

    m_measurementSampleRate = m_audioService ? m_audioService->currentSampleRate() : 48000.0;
    m_accumulator.reset();

    if (outputDeviceUID && outputDeviceUID->isEmpty()) {
        outputDeviceUID.reset();
    }
    bool playing = false;
    if (m_pinkNoisePlayer) {
        // A restart puts the noise on the requested device.
        if (m_pinkNoisePlayer->isPlaying()) {
            m_pinkNoisePlayer->stop();
        }
        playing = m_pinkNoisePlayer->start(outputDeviceUID);
    }
    if (!playing) {
        fail(QStringLiteral("Could not start pink noise playback"));
        return;
    }
    setState(MicCalibrationState::settling());
    watchForStops();
    const std::uint64_t run = m_run.load();
    scheduleAfter(kSettlingDelay, [this, run] { beginCapture(run); });
}

void MicResponseCalibrationService::watchForStops() {
    // Capture or noise that stops underneath a run (a device switch or a vanished
    // device) would leave it waiting for frames forever, or measuring silence.
    const auto check = [this] {
        const auto kind = m_state.kind();
        if (kind != MicCalibrationState::Kind::Settling && kind != MicCalibrationState::Kind::Measuring) {
            return;
        }
        if (!m_audioService || !m_audioService->isRunning()) {
            fail(QStringLiteral("Microphone input stopped during the measurement"));
        } else if (!m_pinkNoisePlayer || !m_pinkNoisePlayer->isPlaying()) {
            fail(QStringLiteral("Pink noise playback stopped during the measurement"));
        }
    };
    if (m_audioService) {
        m_audioWatch = connect(m_audioService, &AudioMeasurementService::changed, this, check);
    }
    if (m_pinkNoisePlayer) {
        m_playerWatch = connect(m_pinkNoisePlayer, &PinkNoisePlayer::changed, this, check);
    }
}

void MicResponseCalibrationService::beginCapture(std::uint64_t run) {
    if (run != m_run || m_state.kind() != MicCalibrationState::Kind::Settling) {
        return;
    }
    if (!m_audioService || !m_audioService->isRunning()) {
        fail(QStringLiteral("Microphone input stopped during the measurement"));
        return;
    }
    // The tap is cleared by teardown (also in the destructor) before this object goes,
    // and clearing waits for a call in progress, so the capture thread never sees a
    // dangling service.
    m_audioService->setRawSampleCallback(
        [this](std::span<const float> samples, double sampleRate) { receive(samples, sampleRate); });
    setState(MicCalibrationState::measuring(0.0));
}

void MicResponseCalibrationService::receive(std::span<const float> samples, double sampleRate) {
    if (m_accumulator.isComplete()) {
        return;
    }
    const int frames = m_accumulator.append(samples);
    const std::uint64_t run = m_run.load();
    QMetaObject::invokeMethod(
        this,
        [this, run, frames, sampleRate] {
            if (run != m_run || m_state.kind() != MicCalibrationState::Kind::Measuring) {
                return;
            }
            if (frames >= dsp::ResponseAccumulator::kTargetFrames) {
                setState(MicCalibrationState::computing());
                computeAndSave(sampleRate);
            } else {
                setState(MicCalibrationState::measuring(static_cast<double>(frames) /
                                                        dsp::ResponseAccumulator::kTargetFrames));
            }
        },
        Qt::QueuedConnection);
}

void MicResponseCalibrationService::computeAndSave(double sampleRate) {
    // The background task gets its own copy: a new run may reset the accumulator
    // while this one is still computing.
    const std::vector<float> power = m_accumulator.accumulatedPower();
    const int frames = m_accumulator.framesAccumulated();
    const std::uint64_t run = m_run.load();
    QPointer<MicResponseCalibrationService> self(this);
    runInBackground([self, run, power, frames, sampleRate] {
        const dsp::RealFft fft(dsp::correction::kFftSize);
        auto design = dsp::correction::designFromMeasurement(power, frames, sampleRate, fft);
        // Posted through the application object: the service may be gone by now, and
        // the weak pointer is only looked at on the main thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, run, design = std::move(design), sampleRate] {
                if (!self || run != self->m_run ||
                    self->m_state.kind() != MicCalibrationState::Kind::Computing) {
                    return;
                }
                if (!design) {
                    self->fail(QStringLiteral("FFT setup unavailable"));
                    return;
                }
                const auto profile =
                    models::MicCorrectionProfile::fromDesign(*design, sampleRate, self->m_clock.now());
                if (self->m_correction) {
                    // A capture that delivered non-numbers gives taps that are not numbers.
                    if (const auto problem = self->m_correction->save(profile)) {
                        self->fail(
                            QStringLiteral("The measured response gives no usable filter: %1").arg(*problem));
                        return;
                    }
                    self->m_correction->setIsEnabled(true);
                }
                self->teardown();
                self->setState(MicCalibrationState::done());
            },
            Qt::QueuedConnection);
    });
}

void MicResponseCalibrationService::fail(const QString& message) {
    teardown();
    setState(MicCalibrationState::failed(message));
}

void MicResponseCalibrationService::cancel() {
    teardown();
    const std::uint64_t run = m_run.fetch_add(1) + 1;
    QMetaObject::invokeMethod(
        this,
        [this, run] {
            if (run == m_run) {
                setState(MicCalibrationState::idle());
            }
        },
        Qt::QueuedConnection);
}

void MicResponseCalibrationService::teardown() {
    disconnect(m_audioWatch);
    disconnect(m_playerWatch);
    if (m_pinkNoisePlayer) {
        m_pinkNoisePlayer->stop();
    }
    if (m_audioService) {
        m_audioService->setRawSampleCallback({});
        if (m_didStartAudioService) {
            m_audioService->stop();
        }
    }
    m_didStartAudioService = false;
    m_audioService.clear();
    m_pinkNoisePlayer.clear();
    m_correction.clear();
}

} // namespace kavro::services
