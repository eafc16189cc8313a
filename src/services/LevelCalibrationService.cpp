// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/LevelCalibrationService.h"

#include "models/NumberText.h"
#include "services/AudioMeasurementService.h"
#include "services/PinkNoisePlayer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kavro::services {

namespace calibrator = dsp::calibrator;

namespace {

// The raw samples of a calibrator run are kept for the highest rate an input may have.
constexpr double kHighestSampleRate = 192000.0;
constexpr double kRawMarginSeconds = 1.0;

const char* const kNoToneText =
    "No calibrator tone heard: fit the calibrator on the microphone and switch it on.";
const char* const kWrongFrequencyText =
    "The tone is at %1 Hz, more than 5 % away from 1 kHz: is this a calibrator?";
const char* const kUnsteadyText =
    "The tone's level is not steady (it moves by up to %1 dB): hold the calibrator still and try again.";
const char* const kOtherSoundsText =
    "Other sounds are only %1 dB below the tone (at least 20 dB needed): quieten the room and try again.";
const char* const kLargeChangeText = "This would change the offset by %1 dB, more than 30 dB: is this the "
                                     "right input? Confirm to use it anyway.";
const char* const kOutOfRangeText = "The offset would be %1 dB, outside 60–120 dB: check the input gain.";
const char* const kNoInputText = "No sound from the input: is the microphone connected?";
const char* const kBusyText =
    "The input is in use by the response measurement; try again when it has finished.";
const char* const kDoneText = "Offset set to %1 dB.";
const char* const kListeningText = "Listening…";

QString text(const char* words) {
    return QString::fromUtf8(words);
}

} // namespace

LevelCalibrationService::LevelCalibrationService(QObject* parent) : QObject(parent) {
    m_giveUp.setSingleShot(true);
    connect(&m_giveUp, &QTimer::timeout, this, [this] {
        teardown();
        refuse(Refusal::noInput);
    });
}

LevelCalibrationService::~LevelCalibrationService() {
    teardown();
}

double LevelCalibrationService::progress() const {
    const double total = (m_settleSeconds + calibrator::kListenSeconds) * m_sampleRate;
    return std::clamp(static_cast<double>(m_settledFrames + m_frames) / total, 0.0, 1.0);
}

QString LevelCalibrationService::weightingName() const {
    if (!m_referenceRun) {
        return QStringLiteral("C");
    }
    return m_weighting == Weighting::a ? QStringLiteral("A") : QStringLiteral("C");
}

QString LevelCalibrationService::message() const {
    using models::fixedText;
    if (m_phase == Phase::listening) {
        return text(kListeningText);
    }
    if (m_phase == Phase::done && m_offset) {
        return text(kDoneText).arg(fixedText(*m_offset, 1));
    }
    if (!m_refusal) {
        return {};
    }
    switch (*m_refusal) {
    case Refusal::noTone:
        return text(kNoToneText);
    case Refusal::wrongFrequency:
        return text(kWrongFrequencyText).arg(fixedText(m_tone ? m_tone->frequencyHz : 0, 0));
    case Refusal::unsteadyLevel:
        return text(kUnsteadyText).arg(fixedText(m_tone ? m_tone->spreadDb : 0, 2));
    case Refusal::otherSoundsTooLoud:
        return text(kOtherSoundsText).arg(fixedText(m_tone ? -m_tone->otherSoundsDb : 0, 1));
    case Refusal::largeChange:
        return text(kLargeChangeText).arg(fixedText(std::abs(m_offset.value_or(0) - m_currentOffset), 1));
    case Refusal::outOfRange:
        return text(kOutOfRangeText).arg(fixedText(m_offset.value_or(0), 1));
    case Refusal::noInput:
        return text(kNoInputText);
    case Refusal::busy:
        return text(kBusyText);
    }
    return {};
}

bool LevelCalibrationService::begin(AudioMeasurementService* audio, double currentOffset,
                                    bool allowLargeChange) {
    cancel();
    m_refusal.reset();
    m_offset.reset();
    m_tone.reset();
    m_currentOffset = currentOffset;
    m_allowLargeChange = allowLargeChange;
    if (audio->hasRawSampleCallback()) {
        refuse(Refusal::busy);
        return false;
    }
    m_audio = audio;
    m_lastBufferSeen = audio->publishedBuffers();
    m_settledFrames = 0;
    m_frames = 0;
    m_sumSquares = 0;
    m_sampleRate = audio->currentSampleRate();
    m_audioWatch =
        connect(audio, &AudioMeasurementService::changed, this, &LevelCalibrationService::bufferPublished);
    if (!audio->isCaptureWanted()) {
        audio->start();
        m_startedCapture = true;
    }
    m_phase = Phase::listening;
    m_giveUp.start(kGiveUpAfter);
    return true;
}

void LevelCalibrationService::startWithCalibrator(double calibratorDb, AudioMeasurementService* audio,
                                                  double currentOffset, bool allowLargeChange) {
    // An earlier run's tap must be gone before its buffer is replaced.
    cancel();
    m_referenceRun = false;
    m_referenceLevel = calibratorDb;
    m_settleSeconds = calibrator::kSettleSeconds;
    m_raw.assign(static_cast<std::size_t>(
                     (calibrator::kSettleSeconds + calibrator::kListenSeconds + kRawMarginSeconds) *
                     kHighestSampleRate),
                 0.0f);
    m_rawCount.store(0);
    m_rawRate.store(0);
    if (!begin(audio, currentOffset, allowLargeChange)) {
        return;
    }
    audio->setRawSampleCallback(
        [this](std::span<const float> samples, double sampleRate) { receiveRaw(samples, sampleRate); });
    m_tapInstalled = true;
    emit changed();
}

void LevelCalibrationService::startWithReference(double readingDb, Weighting weighting,
                                                 AudioMeasurementService* audio, PinkNoisePlayer* player,
                                                 const std::optional<QString>& outputDeviceUID,
                                                 double currentOffset, bool allowLargeChange) {
    m_referenceRun = true;
    m_referenceLevel = readingDb;
    m_weighting = weighting;
    m_settleSeconds = kReferenceSettleSeconds;
    if (!begin(audio, currentOffset, allowLargeChange)) {
        return;
    }
    m_player = player;
    if (!player->isPlaying()) {
        m_startedNoise = player->start(outputDeviceUID);
    }
    emit changed();
}

// Capture thread: copies into the buffer made before the tap was installed, never past it.
void LevelCalibrationService::receiveRaw(std::span<const float> samples, double sampleRate) {
    if (m_rawRate.load(std::memory_order_relaxed) == 0) {
        m_rawRate.store(sampleRate, std::memory_order_relaxed);
    }
    const std::size_t count = m_rawCount.load(std::memory_order_relaxed);
    const std::size_t taken = std::min(samples.size(), m_raw.size() - count);
    std::memcpy(m_raw.data() + count, samples.data(), taken * sizeof(float));
    m_rawCount.store(count + taken, std::memory_order_release);
}

void LevelCalibrationService::bufferPublished() {
    if (m_phase != Phase::listening || !m_audio || m_audio->publishedBuffers() == m_lastBufferSeen) {
        return;
    }
    m_lastBufferSeen = m_audio->publishedBuffers();
    const dsp::MeterReading& reading = m_audio->lastBuffer();
    if (reading.frames == 0) {
        return;
    }
    m_giveUp.stop();
    m_sampleRate = m_audio->currentSampleRate();
    if (static_cast<double>(m_settledFrames) < m_settleSeconds * m_sampleRate) {
        m_settledFrames += reading.frames;
    } else {
        m_frames += reading.frames;
        const bool aWeighted = m_referenceRun && m_weighting == Weighting::a;
        m_sumSquares += aWeighted ? reading.sumSquaresA : reading.sumSquaresC;
    }
    if (static_cast<double>(m_frames) >= calibrator::kListenSeconds * m_sampleRate) {
        finish();
        return;
    }
    emit changed();
}

std::optional<LevelCalibrationService::Refusal> LevelCalibrationService::judgeCalibrator() {
    m_audio->setRawSampleCallback({});
    m_tapInstalled = false;
    const double rate = m_rawRate.load();
    const std::size_t count = m_rawCount.load(std::memory_order_acquire);
    const auto settled = std::min(count, static_cast<std::size_t>(calibrator::kSettleSeconds * rate));
    const calibrator::ToneCheck check =
        calibrator::checkTone(std::span<const float>(m_raw.data() + settled, count - settled), rate);
    m_tone = check.tone;
    if (!check.refusal) {
        return std::nullopt;
    }
    switch (*check.refusal) {
    case calibrator::Refusal::noTone:
        return Refusal::noTone;
    case calibrator::Refusal::wrongFrequency:
        return Refusal::wrongFrequency;
    case calibrator::Refusal::unsteadyLevel:
        return Refusal::unsteadyLevel;
    case calibrator::Refusal::otherSoundsTooLoud:
        return Refusal::otherSoundsTooLoud;
    }
    return Refusal::noTone;
}

void LevelCalibrationService::finish() {
    const double measuredDbfs = calibrator::meanSquareDbfs(m_sumSquares, m_frames);
    const std::optional<Refusal> toneRefusal = m_referenceRun ? std::nullopt : judgeCalibrator();
    teardown();
    if (toneRefusal) {
        refuse(*toneRefusal);
        return;
    }
    m_offset = calibrator::offsetFor(m_referenceLevel, measuredDbfs);
    if (*m_offset < kLowestOffsetDb || *m_offset > kHighestOffsetDb) {
        refuse(Refusal::outOfRange);
    } else if (!m_allowLargeChange &&
               std::abs(*m_offset - m_currentOffset) > calibrator::kLargeOffsetChangeDb) {
        refuse(Refusal::largeChange);
    } else {
        conclude(*m_offset);
    }
}

void LevelCalibrationService::confirmLargeChange() {
    if (m_phase == Phase::refused && m_refusal == Refusal::largeChange && m_offset) {
        conclude(*m_offset);
    }
}

void LevelCalibrationService::conclude(double offsetDb) {
    m_phase = Phase::done;
    m_refusal.reset();
    m_offset = offsetDb;
    emit changed();
    emit calibrated(offsetDb);
}

void LevelCalibrationService::refuse(Refusal reason) {
    m_phase = Phase::refused;
    m_refusal = reason;
    emit changed();
}

void LevelCalibrationService::teardown() {
    disconnect(m_audioWatch);
    m_giveUp.stop();
    if (m_audio && m_tapInstalled) {
        m_audio->setRawSampleCallback({});
    }
    m_tapInstalled = false;
    if (m_player && m_startedNoise) {
        m_player->stop();
    }
    if (m_audio && m_startedCapture) {
        m_audio->stop();
    }
    m_startedNoise = false;
    m_startedCapture = false;
    m_player.clear();
}

void LevelCalibrationService::cancel() {
    if (m_phase != Phase::listening) {
        return;
    }
    teardown();
    m_phase = Phase::idle;
    emit changed();
}

void LevelCalibrationService::dismiss() {
    if (m_phase == Phase::done || m_phase == Phase::refused) {
        m_phase = Phase::idle;
        m_refusal.reset();
        emit changed();
    }
}

} // namespace kavro::services
