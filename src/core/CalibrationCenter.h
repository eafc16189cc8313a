// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Settings.h"
#include "services/CalibrationLog.h"
#include "services/LevelCalibrationService.h"

#include <QObject>

#include <functional>
#include <optional>
#include <vector>

namespace kavro::platform {
class Clock;
class NotificationCenter;
} // namespace kavro::platform

namespace kavro::services {
class AudioDeviceManager;
class AudioMeasurementService;
class MicFrequencyCorrection;
class PinkNoisePlayer;
class SessionManager;
} // namespace kavro::services

namespace kavro::core {

// The level calibration of the running application: runs a calibration with a sound
// calibrator or a reference meter and applies its result, records every change of the
// offset (by hand too), stamps the running session with the calibration and the input
// it is measured with, and says when that calibration may not fit the input: a quiet
// line for the panel and one notification per cause. Main thread.
class CalibrationCenter : public QObject {
    Q_OBJECT
public:
    struct Parts {
        services::AudioDeviceManager& devices;
        services::AudioMeasurementService& audio;
        services::PinkNoisePlayer& player;
        services::MicFrequencyCorrection& correction;
        services::SessionManager& sessions;
        platform::NotificationCenter& notifications;
        const platform::Clock& clock;
        platform::Settings settings;
    };
    // Sets the offset through the application's setting.
    using OffsetSetter = std::function<void(double offsetDb)>;

    static inline const QString kMisfitTitle = QStringLiteral("Calibration may not fit");

    CalibrationCenter(Parts parts, OffsetSetter setOffset, QObject* parent = nullptr);

    services::CalibrationLog& log() { return m_log; }
    services::LevelCalibrationService& run() { return m_run; }

    // Starts a run on the input in use; the result is applied when it ends well.
    void calibrateWithCalibrator(double calibratorDb, double currentOffset);
    void calibrateWithReference(double readingDb, services::LevelCalibrationService::Weighting weighting,
                                double currentOffset, const std::optional<QString>& outputDeviceUID);
    // The offset setting was assigned: unless a calibration applies it, that is by hand.
    void offsetAssigned(double offsetDb);

    // After how many days a calibration is said to be old (stored at once).
    std::int64_t maxAgeDays() const { return m_settings.value(platform::keys::calibrationMaxAgeDays); }
    void setMaxAgeDays(std::int64_t days);

    // The fast tick while capture runs: looks again when the input or the calibration
    // changed since the last look; otherwise a few comparisons.
    void feedTick();
    // Stamps the running session with the calibration and the input now.
    void stampSession();
    // A calibrator on the microphone is being listened to: what capture hears now is
    // no one's exposure.
    bool isListeningToCalibrator() const {
        return m_run.phase() == services::LevelCalibrationService::Phase::listening &&
               !m_run.isReferenceRun();
    }
    // A session starts: look again at the next tick.
    void sessionStarted() { m_due = true; }

    // Why the calibration may not fit, as found at the last look while measuring.
    const std::vector<services::CalibrationMisfit>& misfits() const { return m_misfits; }
    // The panel's line: "Calibration may not fit: another input device, …"; none when it fits.
    std::optional<QString> misfitLine() const;
    QString misfitText(services::CalibrationMisfit cause) const;

signals:
    void changed();

private:
    void apply(double offsetDb);
    void look();
    void notifyNewCauses();

    Parts m_parts;
    platform::Settings m_settings;
    OffsetSetter m_setOffset;
    services::CalibrationLog m_log;
    services::LevelCalibrationService m_run;
    bool m_applying = false;
    bool m_wasListeningToCalibrator = false;

    // What the last look saw.
    bool m_due = true;
    QString m_lookedAtDevice;
    std::int64_t m_lookedAtChannel = -1;
    double m_lookedAtRate = 0;
    std::vector<services::CalibrationMisfit> m_misfits;
    std::vector<services::CalibrationMisfit> m_notified;
};

} // namespace kavro::core
