// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/OutputProfileMeasurement.h"

#include "dsp/OutputReferenceMath.h"
#include "models/NumberText.h"
#include "models/OutputProfile.h"
#include "platform/Clock.h"
#include "services/AudioMeasurementService.h"
#include "services/OutputProfileStore.h"
#include "services/PinkNoisePlayer.h"

#include <QTimer>

#include <cmath>

namespace kavro::services {

namespace {

// The level of the noise never changes, so it is worked out once.
double pinkNoiseLevelDb() {
    static const double level = dsp::outputReference::pinkNoiseWeightedLevelDb(PinkNoisePlayer::kSampleRate);
    return level;
}

} // namespace

OutputProfileMeasurement::OutputProfileMeasurement(AudioMeasurementService& audioService,
                                                   PinkNoisePlayer& player, OutputProfileStore& store,
                                                   const platform::Clock& clock, QObject* parent)
    : QObject(parent), m_audioService(audioService), m_player(player), m_store(store), m_clock(clock) {
    scheduleAfter = [this](std::chrono::milliseconds delay, std::function<void()> task) {
        QTimer::singleShot(delay, this, std::move(task));
    };
}

OutputProfileMeasurement::~OutputProfileMeasurement() {
    if (isRunning()) {
        teardown();
    }
}

double OutputProfileMeasurement::progress() const {
    return m_phase == Phase::measuring ? static_cast<double>(m_samples) / kSampleCount : 0.0;
}

void OutputProfileMeasurement::start(const Target& target) {
    if (isRunning()) {
        return;
    }
    ++m_run;
    m_target = target;
    m_samples = 0;
    m_energySum = 0;
    // Capture runs while the noise plays: the application starts it with the noise and
    // stops it with the noise unless a session needs it. Noise already playing may play
    // on another output: it is moved to the one measured.
    m_player.stop();
    if (!m_player.start(target.outputUID)) {
        fail(QStringLiteral("The pink noise could not play on this output."));
        return;
    }
    setPhase(Phase::settling);
    const std::uint64_t run = m_run;
    scheduleAfter(kSettlingDelay, [this, run] { beginSampling(run); });
}

void OutputProfileMeasurement::beginSampling(std::uint64_t run) {
    if (run != m_run || m_phase != Phase::settling) {
        return;
    }
    setPhase(Phase::measuring);
    sample(run);
}

void OutputProfileMeasurement::sample(std::uint64_t run) {
    if (run != m_run || m_phase != Phase::measuring) {
        return;
    }
    if (!m_player.isPlaying()) {
        fail(QStringLiteral("The pink noise stopped during the measurement."));
        return;
    }
    const double level = m_audioService.currentSPL();
    if (!m_audioService.isRunning() || level <= 0) {
        fail(QStringLiteral("No microphone level: a calibrated microphone at the listening position must "
                            "be connected."));
        return;
    }
    m_energySum += std::pow(10.0, level / 10.0);
    ++m_samples;
    emit changed();
    if (m_samples >= kSampleCount) {
        finish();
        return;
    }
    scheduleAfter(kSampleInterval, [this, run] { sample(run); });
}

void OutputProfileMeasurement::finish() {
    const double measured = 10.0 * std::log10(m_energySum / m_samples);
    const double reference =
        dsp::outputReference::fromMeasurement(measured, pinkNoiseLevelDb(), m_target.volumeDb.value_or(0.0));
    teardown();
    const models::OutputProfile profile{m_target.outputKey, m_target.displayName, reference,
                                        models::OutputProfile::Basis::measured, m_clock.now()};
    if (const auto problem = m_store.setProfile(profile)) {
        fail(QStringLiteral("The microphone read %1 dBA, so %2.")
                 .arg(models::fixedText(measured, 1), *problem));
        return;
    }
    setPhase(Phase::done, QStringLiteral("Measured %1 dBA at the microphone: %2 dB SPL at full scale.")
                              .arg(models::fixedText(measured, 1), models::fixedText(reference, 1)));
}

void OutputProfileMeasurement::cancel() {
    ++m_run;
    if (isRunning()) {
        teardown();
    }
    setPhase(Phase::idle);
}

void OutputProfileMeasurement::dismiss() {
    if (!isRunning()) {
        setPhase(Phase::idle);
    }
}

void OutputProfileMeasurement::fail(const QString& reason) {
    if (isRunning()) {
        teardown();
    }
    setPhase(Phase::failed, reason);
}

void OutputProfileMeasurement::teardown() {
    m_player.stop();
}

void OutputProfileMeasurement::setPhase(Phase phase, const QString& message) {
    m_phase = phase;
    m_message = message;
    emit changed();
}

} // namespace kavro::services
