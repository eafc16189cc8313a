// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/CalibrationRecord.h"
#include "platform/Settings.h"

#include <QObject>

#include <optional>
#include <vector>

namespace kavro::services {

class AudioDeviceManager;
class AudioMeasurementService;
class LevelCalibrationService;
class MicFrequencyCorrection;

// Why the calibration in use may not fit what is being measured now.
enum class CalibrationMisfit {
    otherInput,      // another input device than the one calibrated
    otherChannel,    // another channel of it
    otherSampleRate, // the input runs at another rate
    neverSet,        // still the default offset nobody set
    tooOld,          // older than the age the user chose
};

// The input as it is measured now.
struct InputInUse {
    QString deviceUID;
    QString deviceName;
    std::int64_t channel = 0;
    double sampleRate = 0; // 0 while capture does not run
};

// The reasons, in the order of the enumeration; none when it fits.
std::vector<CalibrationMisfit> calibrationMisfits(const models::CalibrationRecord& record,
                                                  const InputInUse& input, const QDateTime& now,
                                                  std::int64_t maxAgeDays);

// The calibration in use and the last calibrations, kept in the preferences: how,
// when and for which input the offset was set. Main thread.
class CalibrationLog : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kHistoryLength = 20;
    // Adjustments by hand this close together are one calibration in the history.
    static constexpr qint64 kHandAdjustmentSeconds = 600;

    explicit CalibrationLog(platform::Settings settings, QObject* parent = nullptr);

    // The record of the offset in use. Without a stored one: the default nobody set, or,
    // for an offset an earlier version stored, one set by hand at an unknown time.
    models::CalibrationRecord current() const;
    const QList<models::CalibrationRecord>& history() const { return m_history; }
    // The record last made, whatever the offset key holds now.
    const std::optional<models::CalibrationRecord>& lastRecord() const { return m_current; }

    // Makes the record the one in use and adds it to the front of the history (an
    // adjustment by hand soon after another replaces it there).
    void record(const models::CalibrationRecord& record);

    // A record of the offset as set now on the input in use, with the state of the
    // correction.
    static models::CalibrationRecord recordFor(models::CalibrationRecord::Method method, double offset,
                                               const QDateTime& now, const InputInUse& input,
                                               const MicFrequencyCorrection& correction);
    // The record of a run that ended with an offset: its method, what it was set
    // against, and the rate it heard.
    static models::CalibrationRecord recordOfRun(const LevelCalibrationService& run, const QDateTime& now,
                                                 InputInUse input, const MicFrequencyCorrection& correction);
    // The selected input, and the capture rate while capture runs.
    static InputInUse inputInUse(const AudioDeviceManager& devices, const AudioMeasurementService& audio);

signals:
    void changed();

private:
    platform::Settings m_settings;
    std::optional<models::CalibrationRecord> m_current;
    QList<models::CalibrationRecord> m_history;
};

} // namespace kavro::services
