// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/CalibrationLog.h"

#include "models/CalibrationSavedProfile.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/LevelCalibrationService.h"
#include "services/MicFrequencyCorrection.h"

#include <cmath>

namespace kavro::services {

using models::CalibrationRecord;
using Method = CalibrationRecord::Method;

std::vector<CalibrationMisfit> calibrationMisfits(const CalibrationRecord& record, const InputInUse& input,
                                                  const QDateTime& now, std::int64_t maxAgeDays) {
    if (record.method == Method::defaultValue) {
        return {CalibrationMisfit::neverSet};
    }
    std::vector<CalibrationMisfit> causes;
    // A record an earlier version left names no input; it cannot be compared.
    const bool knowsInput = record.setAt.has_value();
    if (knowsInput && record.deviceUID != input.deviceUID) {
        causes.push_back(CalibrationMisfit::otherInput);
    } else if (knowsInput && record.channel != input.channel) {
        causes.push_back(CalibrationMisfit::otherChannel);
    }
    if (record.sampleRate > 0 && input.sampleRate > 0 &&
        std::abs(record.sampleRate - input.sampleRate) > 0.5) {
        causes.push_back(CalibrationMisfit::otherSampleRate);
    }
    if (record.setAt && maxAgeDays > 0 && record.setAt->daysTo(now) > maxAgeDays) {
        causes.push_back(CalibrationMisfit::tooOld);
    }
    return causes;
}

CalibrationLog::CalibrationLog(platform::Settings settings, QObject* parent)
    : QObject(parent), m_settings(settings) {
    m_current = CalibrationRecord::decode(m_settings.value(platform::keys::calibrationRecord));
    m_history = CalibrationRecord::decodeList(m_settings.value(platform::keys::calibrationHistory));
}

CalibrationRecord CalibrationLog::current() const {
    const double offset = m_settings.value(platform::keys::calibrationOffset);
    // The offset key is the truth: a record of another offset is out of date (the
    // value was changed by an earlier version, or by hand in the preferences file).
    if (m_current && std::abs(m_current->offset - offset) < 0.05) {
        return *m_current;
    }
    CalibrationRecord record;
    record.offset = offset;
    const auto storedOffset = m_settings.stored(platform::keys::calibrationOffset);
    record.method =
        storedOffset && std::abs(*storedOffset - platform::keys::calibrationOffset.defaultValue) >= 0.05
            ? Method::byHand
            : Method::defaultValue;
    return record;
}

void CalibrationLog::record(const CalibrationRecord& record) {
    m_current = record;
    m_settings.setValue(platform::keys::calibrationRecord, record.encode());
    const bool sameAdjustment = record.method == Method::byHand && !m_history.isEmpty() &&
                                m_history.front().method == Method::byHand && m_history.front().setAt &&
                                record.setAt && m_history.front().deviceUID == record.deviceUID &&
                                m_history.front().setAt->secsTo(*record.setAt) < kHandAdjustmentSeconds;
    if (sameAdjustment) {
        m_history.front() = record;
    } else {
        m_history.prepend(record);
    }
    while (m_history.size() > kHistoryLength) {
        m_history.removeLast();
    }
    m_settings.setValue(platform::keys::calibrationHistory, CalibrationRecord::encodeList(m_history));
    emit changed();
}

CalibrationRecord CalibrationLog::recordFor(Method method, double offset, const QDateTime& now,
                                            const InputInUse& input,
                                            const MicFrequencyCorrection& correction) {
    CalibrationRecord record;
    record.method = method;
    record.offset = offset;
    record.setAt = now;
    record.deviceUID = input.deviceUID;
    record.deviceName = input.deviceName;
    record.channel = input.channel;
    record.sampleRate = input.sampleRate;
    record.correction = correction.isEnabled() && correction.profile().has_value();
    if (record.correction) {
        record.correctionDate = correction.profile()->measuredDate;
    }
    return record;
}

CalibrationRecord CalibrationLog::recordOfRun(const LevelCalibrationService& run, const QDateTime& now,
                                              InputInUse input, const MicFrequencyCorrection& correction) {
    const Method method = run.isReferenceRun() ? Method::referenceMeter : Method::calibrator;
    // The run may have stopped the capture it started; the rate is the one it heard.
    input.sampleRate = run.sampleRate();
    CalibrationRecord record = recordFor(method, run.offset().value_or(0), now, input, correction);
    record.referenceLevel = run.referenceLevel();
    record.weighting = run.weightingName();
    return record;
}

InputInUse CalibrationLog::inputInUse(const AudioDeviceManager& devices,
                                      const AudioMeasurementService& audio) {
    const QString& uid = devices.selectedDeviceUID();
    return {uid, models::CalibrationSavedProfile::deviceNameFor(uid, devices.inputDevices()),
            devices.selectedChannelIndex(), audio.isRunning() ? audio.currentSampleRate() : 0.0};
}

} // namespace kavro::services
