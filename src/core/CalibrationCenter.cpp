// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/CalibrationCenter.h"

#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/SessionManager.h"

#include <algorithm>
#include <cmath>

namespace kavro::core {

using models::CalibrationRecord;
using services::CalibrationLog;
using services::CalibrationMisfit;

namespace {

const char* const kLinePrefix = "Calibration may not fit: ";
const char* const kRecalibrate = ". Recalibrate in Settings → Audio.";
const char* const kIdentifierPrefix = "calibration-may-not-fit-";
// Offsets closer than this are the same to a tenth of a decibel.
constexpr double kSameOffsetDb = 0.05;

} // namespace

CalibrationCenter::CalibrationCenter(Parts parts, OffsetSetter setOffset, QObject* parent)
    : QObject(parent), m_parts(parts), m_settings(parts.settings), m_setOffset(std::move(setOffset)),
      m_log(parts.settings) {
    connect(&m_run, &services::LevelCalibrationService::calibrated, this, &CalibrationCenter::apply);
    connect(&m_run, &services::LevelCalibrationService::changed, this, [this] {
        // The audio up to the calibrator run's last buffer is the calibrator's too.
        const bool listening = isListeningToCalibrator();
        if (m_wasListeningToCalibrator && !listening) {
            m_parts.audio.takeInterval();
        }
        m_wasListeningToCalibrator = listening;
        emit changed();
    });
    connect(&m_log, &CalibrationLog::changed, this, &CalibrationCenter::changed);
}

void CalibrationCenter::calibrateWithCalibrator(double calibratorDb, double currentOffset) {
    m_run.startWithCalibrator(calibratorDb, &m_parts.audio, currentOffset);
}

void CalibrationCenter::calibrateWithReference(double readingDb,
                                               services::LevelCalibrationService::Weighting weighting,
                                               double currentOffset,
                                               const std::optional<QString>& outputDeviceUID) {
    m_run.startWithReference(readingDb, weighting, &m_parts.audio, &m_parts.player, outputDeviceUID,
                             currentOffset);
}

void CalibrationCenter::apply(double offsetDb) {
    const CalibrationRecord record = CalibrationLog::recordOfRun(
        m_run, m_parts.clock.now(), CalibrationLog::inputInUse(m_parts.devices, m_parts.audio),
        m_parts.correction);
    m_applying = true;
    m_setOffset(offsetDb);
    m_applying = false;
    m_log.record(record);
    m_due = true;
}

void CalibrationCenter::offsetAssigned(double offsetDb) {
    // Assigning the value in use again (a view re-applying it) keeps how it was set.
    const auto& last = m_log.lastRecord();
    if (m_applying || (last && std::abs(offsetDb - last->offset) < kSameOffsetDb)) {
        return;
    }
    m_log.record(CalibrationLog::recordFor(CalibrationRecord::Method::byHand, offsetDb, m_parts.clock.now(),
                                           CalibrationLog::inputInUse(m_parts.devices, m_parts.audio),
                                           m_parts.correction));
    m_due = true;
}

void CalibrationCenter::setMaxAgeDays(std::int64_t days) {
    m_settings.setValue(platform::keys::calibrationMaxAgeDays, std::max<std::int64_t>(1, days));
    m_due = true;
    emit changed();
}

void CalibrationCenter::feedTick() {
    const QString& device = m_parts.devices.selectedDeviceUID();
    const std::int64_t channel = m_parts.devices.selectedChannelIndex();
    const double rate = m_parts.audio.currentSampleRate();
    if (!m_due && device == m_lookedAtDevice && channel == m_lookedAtChannel && rate == m_lookedAtRate) {
        return;
    }
    m_due = false;
    m_lookedAtDevice = device;
    m_lookedAtChannel = channel;
    m_lookedAtRate = rate;
    look();
}

void CalibrationCenter::look() {
    stampSession();
    m_misfits = services::calibrationMisfits(m_log.current(),
                                             CalibrationLog::inputInUse(m_parts.devices, m_parts.audio),
                                             m_parts.clock.now(), maxAgeDays());
    notifyNewCauses();
    emit changed();
}

void CalibrationCenter::stampSession() {
    if (!m_parts.sessions.currentSession()) {
        return;
    }
    const CalibrationRecord calibration = m_log.current();
    // The input and the correction as measured now; how and when the offset was set
    // as recorded.
    CalibrationRecord stamp = CalibrationLog::recordFor(
        calibration.method, calibration.offset, {},
        CalibrationLog::inputInUse(m_parts.devices, m_parts.audio), m_parts.correction);
    stamp.setAt = calibration.setAt;
    stamp.referenceLevel = calibration.referenceLevel;
    stamp.weighting = calibration.weighting;
    m_parts.sessions.setCalibration(stamp);
}

void CalibrationCenter::notifyNewCauses() {
    for (const CalibrationMisfit cause : m_misfits) {
        if (std::find(m_notified.begin(), m_notified.end(), cause) != m_notified.end()) {
            continue;
        }
        platform::NotificationRequest request;
        request.identifier = QLatin1String(kIdentifierPrefix) + QString::number(static_cast<int>(cause));
        request.title = kMisfitTitle;
        QString body = misfitText(cause);
        body[0] = body[0].toUpper();
        request.body = body + QString::fromUtf8(kRecalibrate);
        m_parts.notifications.add(request);
    }
    // A cause that went away may be told again when it comes back.
    m_notified = m_misfits;
}

QString CalibrationCenter::misfitText(CalibrationMisfit cause) const {
    switch (cause) {
    case CalibrationMisfit::otherInput:
        return QStringLiteral("another input device than the one calibrated");
    case CalibrationMisfit::otherChannel:
        return QStringLiteral("another input channel than the one calibrated");
    case CalibrationMisfit::otherSampleRate:
        return QStringLiteral("the sample rate changed since calibrating");
    case CalibrationMisfit::neverSet:
        return QStringLiteral("the offset is still the default, never calibrated");
    case CalibrationMisfit::tooOld:
        return QStringLiteral("calibrated more than %1 days ago").arg(maxAgeDays());
    }
    return {};
}

std::optional<QString> CalibrationCenter::misfitLine() const {
    if (m_misfits.empty()) {
        return std::nullopt;
    }
    QStringList causes;
    for (const CalibrationMisfit cause : m_misfits) {
        causes.append(misfitText(cause));
    }
    return QString::fromUtf8(kLinePrefix) + causes.join(QStringLiteral(", "));
}

} // namespace kavro::core
