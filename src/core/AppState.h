// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/AfterThisTurn.h"
#include "core/AlertCenter.h"
#include "core/AppSetting.h"
#include "models/DoseLevel.h"
#include "models/MeasureFrom.h"
#include "models/Session.h"
#include "platform/AudioBackend.h"
#include "platform/Settings.h"
#include "services/SessionCheckpoint.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <optional>

namespace kavro::platform {
class AudioBackend;
class Clock;
class FileStore;
class LoginItemService;
class NotificationCenter;
class OutputTap;
class PreferencesStore;
class Workspace;
class WriterLock;
} // namespace kavro::platform

namespace kavro::services {
class AudioDeviceManager;
class AudioMeasurementService;
class CalibrationProfileStore;
class DAWDetectionService;
class DoseCalculator;
class ExposureFeed;
class LeqStatisticsService;
class MicFrequencyCorrection;
class CriteriaMeter;
class MicResponseCalibrationService;
class OutputProfileMeasurement;
class OutputProfileStore;
class OutputReferenceSource;
class OutputSource;
class PinkNoisePlayer;
class SessionManager;
} // namespace kavro::services

namespace kavro::core {

class CalibrationCenter;
class WarningDose;

// The one object that holds the running application together: it owns every service,
// keeps the user's settings, drives measurement with its timers, starts and ends
// listening sessions, turns the services' events into notifications, and announces a
// change whenever anything a view shows has changed. Main thread only.
class AppState : public QObject {
    Q_OBJECT
public:
    // Everything that reaches the operating system, handed in so that tests can run the
    // whole application against fakes and a manual clock. All must outlive the state.
    struct Platform {
        platform::AudioBackend& audioBackend;
        platform::PreferencesStore& preferences;
        platform::Clock& clock;
        platform::NotificationCenter& notificationCenter;
        platform::Workspace& workspace;
        platform::LoginItemService& loginItem;
        platform::FileStore& files;
        // Where the session history is kept.
        QString dataFolder;
        // The one-writer lock of that folder, checked before every write; none in tests
        // that keep their files in memory.
        platform::WriterLock* writerLock = nullptr;
        // What goes to the outputs, to measure instead of the microphone; none: the
        // microphone only. The references turn an output's signal into dB SPL; none:
        // the conservative estimate for every output.
        platform::OutputTap* outputTap = nullptr;
        const services::OutputReferenceSource* outputReferences = nullptr;
    };

    static constexpr std::chrono::milliseconds kFeedInterval{100};
    static constexpr std::chrono::milliseconds kReadingInterval{60000};
    // The midnight timer counts monotonic time, which stands still while the machine
    // sleeps; waking up at least this often to compare the calendar day catches a
    // midnight that passed during a suspend.
    static constexpr std::chrono::milliseconds kDayCheckInterval{60000};
    static constexpr double kLeqRateHz = 10.0;

    explicit AppState(Platform platform, QObject* parent = nullptr);
    ~AppState() override;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // The services, for views that observe them directly.
    services::AudioDeviceManager& deviceManager() const { return *m_deviceManager; }
    services::AudioMeasurementService& audioService() const { return *m_audioService; }
    services::DoseCalculator& doseCalculator() const { return *m_doseCalculator; }
    services::DAWDetectionService& dawDetection() const { return *m_dawDetection; }
    services::SessionManager& sessionManager() const { return *m_sessionManager; }
    services::PinkNoisePlayer& pinkNoisePlayer() const { return *m_pinkNoisePlayer; }
    services::MicFrequencyCorrection& micFreqCorrection() const { return *m_micFreqCorrection; }
    services::MicResponseCalibrationService& micResponseService() const { return *m_micResponseService; }
    services::CalibrationProfileStore& calibrationProfileStore() const { return *m_calibrationProfileStore; }
    services::LeqStatisticsService& leqStatistics() const { return *m_leqStatistics; }
    services::OutputProfileStore& outputProfileStore() const { return *m_outputProfileStore; }
    services::OutputProfileMeasurement& outputProfileMeasurement() const {
        return *m_outputProfileMeasurement;
    }
    AlertCenter& alerts() const { return *m_alerts; }
    // The level calibration: runs, the record of the offset in use, whether it fits.
    CalibrationCenter& calibration() const { return *m_calibration; }
    services::CriteriaMeter& criteriaMeter() const { return *m_criteriaMeter; }
    const WarningDose& warningDose() const { return *m_warningDose; }
    // The outputs that can be measured; null without an output tap.
    services::OutputSource* outputSource() const { return m_outputSource.get(); }
    // The level comes from an output now (else from the microphone).
    bool isMeasuringOutput() const;
    // What is measured, for a person: "Headphones · Built-in Audio, estimated level" or
    // "Microphone · studio_mic".
    QString measuredSourceText() const;
    // The clock every rule with time in it reads; views use it for running durations.
    const platform::Clock& clock() const { return m_clock; }

    // The user's settings (keys and defaults in platform/SettingKey.h). Every assignment
    // stores the value, runs its side effects and announces settingChanged() and
    // changed(), also when the value is unchanged.
    //
    // The input device; a change reselects it and restarts capture if it runs.
    const QString& selectedDeviceUID() const { return m_selectedDeviceUID.value(); }
    void setSelectedDeviceUID(const QString& uid) { m_selectedDeviceUID.assign(uid); }
    // The broadband level offset in dB, handed to the measurement service.
    double calibrationOffset() const { return m_calibrationOffset.value(); }
    void setCalibrationOffset(double offsetDb) { m_calibrationOffset.assign(offsetDb); }
    // The dose uses the higher of dBA and dBC.
    bool conservativeDoseMode() const { return m_conservativeDoseMode.value(); }
    void setConservativeDoseMode(bool on) { m_conservativeDoseMode.assign(on); }
    bool peakMonitoringEnabled() const { return m_peakMonitoringEnabled.value(); }
    void setPeakMonitoringEnabled(bool on) { m_peakMonitoringEnabled.assign(on); }
    // Sessions follow the watched workstations.
    bool autoStartSessions() const { return m_autoStartSessions.value(); }
    void setAutoStartSessions(bool on) { m_autoStartSessions.assign(on); }
    // The output for pink noise; empty when none is chosen.
    const QString& selectedOutputDeviceUID() const { return m_selectedOutputDeviceUID.value(); }
    void setSelectedOutputDeviceUID(const QString& uid) { m_selectedOutputDeviceUID.assign(uid); }
    // A change registers or unregisters the login item.
    bool launchAtLogin() const { return m_launchAtLogin.value(); }
    void setLaunchAtLogin(bool on) { m_launchAtLogin.assign(on); }
    bool timeSensitiveNotifications() const { return m_timeSensitiveNotifications.value(); }
    void setTimeSensitiveNotifications(bool on) { m_timeSensitiveNotifications.assign(on); }
    // Where the measuring microphone stands, for the user's own reference.
    const QString& micLocationNote() const { return m_micLocationNote.value(); }
    void setMicLocationNote(const QString& note) { m_micLocationNote.assign(note); }
    // Where the level comes from: the stored choice, else the first-launch rule.
    models::MeasureFrom measureFrom() const;
    void setMeasureFrom(models::MeasureFrom source) { m_measureFrom.assign(models::storedText(source)); }
    // The dose that warns, by its name in WarningDose; nothing stored is the NIOSH daily dose.
    const QString& warnBy() const { return m_warnBy.value(); }
    void setWarnBy(const QString& name) { m_warnBy.assign(name); }
    // When the user's day starts, minutes after local midnight. A change moves the day
    // boundary from now on; the dose counted so far stays with the day in progress.
    std::int64_t dayStartMinutes() const { return m_dayStartMinutes.value(); }
    void setDayStartMinutes(std::int64_t minutes) { m_dayStartMinutes.assign(minutes); }
    // The criteria the user picked to see, a UTF-8 JSON array of their names.
    const QByteArray& visibleCriteria() const { return m_visibleCriteria.value(); }
    void setVisibleCriteria(const QByteArray& names) { m_visibleCriteria.assign(names); }

    const std::optional<models::DoseLevel>& simulatedDoseLevel() const { return m_simulatedDoseLevel; }
    void setSimulatedDoseLevel(std::optional<models::DoseLevel> level);
    // The band the menu-bar icon shows.
    models::DoseLevel displayDoseLevel() const;

    // Starts a session, or renames the running one; capture runs from here on.
    void startSession(const QString& dawName);
    // Ends the running session with a recap. Without a session it still stops capture
    // and clears the statistics, but posts no recap.
    void endSession();
    // Removes today's completed sessions and sets the dose back to zero.
    void resetDose();
    void deleteSession(const models::Session& session);
    // Before the program quits: a running session is ended and saved, without a recap,
    // and the preferences are written. Called by itself when the application quits.
    void prepareForQuit();

    // The timers' handlers; tests call them directly with a manual clock.
    void splFeedTick();
    void readingSampleTick();
    void dayCheckTick();

    bool isReadingSamplerRunning() const { return m_readingSampleTimer != nullptr; }
    bool isFeedRunning() const { return m_splUpdateTimer.isActive(); }
    // The local midnight the day check is waiting for; none when the calendar found none.
    const std::optional<QDateTime>& nextDailyReset() const { return m_nextDailyReset; }

signals:
    // Something a view may show has changed.
    void changed();
    // One of the user's settings was assigned (also to the value it had).
    void settingChanged(platform::SettingKey key);
    void sessionStarted(const QString& dawName);
    // The completed record, as stored in the history.
    void sessionEnded(const models::Session& session);
    void doseLevelCrossed(models::DoseLevel level);

private:
    void createServices(const Platform& platform);
    void restoreSettings();
    void createMeasurementService(const Platform& platform);
    // Measures from the microphone or the output as the setting and the outputs say.
    void applyMeasuredSource();
    // A running session measured from an output records it.
    void recordSessionSource();
    // Restores the day's dose and recovers what a killed run left behind; gives the
    // session to go on with, if any.
    std::optional<services::SessionCheckpoint::Running> restoreTodaysDose();
    std::optional<services::SessionCheckpoint::Running> recoverSession();
    void resumeSession(const services::SessionCheckpoint::Running& state);
    void saveCheckpoint();
    // What every setting calls after an assignment.
    SettingAnnouncer settingAnnouncer();
    void setupDoseCallbacks();
    void setupAudioServiceCallbacks();
    void setupDAWCallbacks();
    void setupChangeForwarding();
    void setupPinkNoiseLink();
    void setupProblemReports();
    // Tells the user once when saving the history starts to fail.
    void historySaveProblemChanged();
    void startSPLFeed();
    // The feed's timer runs while capture does.
    void followCapture();
    void startReadingSampler();
    void stopReadingSampler();
    void scheduleMidnightReset();
    void performDailyReset();
    void applyLaunchAtLogin(bool enabled);
    void applyDayStart(std::int64_t minutes);
    void pinkNoisePlayingChanged(bool playing);
    // Closes the running session, stops capture and clears the running statistics;
    // returns the session's and the day's dose (percent) as they were before.
    struct EndedDoses {
        double sessionDose;
        double totalDose;
    };
    // With keepCapture, capture goes on (or on trying) without a session.
    EndedDoses closeSession(bool keepCapture = false);
    // The input has been gone too long: the session ends and the user is told.
    void inputGone();
    // The workstation to start a session for now that the input is back, if a session
    // was ended for want of input while a watched workstation still runs.
    std::optional<QString> workstationAwaitingInput() const;

    platform::Settings m_settings;
    platform::Clock& m_clock;
    platform::AudioBackend& m_audioBackend;
    // The microphone's line, asked for at every change: looking it up lists the devices,
    // so it is kept until the lists or the choice change.
    mutable std::optional<QString> m_microphoneText;
    std::unique_ptr<platform::AudioBackend::ListenerRegistration> m_microphoneTextListener;
    platform::NotificationCenter& m_notificationCenter;
    platform::Workspace& m_workspace;
    platform::LoginItemService& m_loginItem;

    std::unique_ptr<services::AudioDeviceManager> m_deviceManager;
    std::unique_ptr<services::AudioMeasurementService> m_audioService;
    std::unique_ptr<services::DoseCalculator> m_doseCalculator;
    std::unique_ptr<services::DAWDetectionService> m_dawDetection;
    std::unique_ptr<services::SessionManager> m_sessionManager;

    AppSetting<QString> m_selectedDeviceUID;
    AppSetting<double> m_calibrationOffset;
    AppSetting<bool> m_conservativeDoseMode;
    AppSetting<bool> m_peakMonitoringEnabled;
    AppSetting<bool> m_autoStartSessions;
    AppSetting<QString> m_selectedOutputDeviceUID;
    AppSetting<bool> m_launchAtLogin;
    AppSetting<bool> m_timeSensitiveNotifications;
    AppSetting<QString> m_micLocationNote;
    AppSetting<QString> m_measureFrom;
    AppSetting<QString> m_warnBy;
    AppSetting<std::int64_t> m_dayStartMinutes;
    AppSetting<QByteArray> m_visibleCriteria;
    std::optional<models::DoseLevel> m_simulatedDoseLevel;

    std::unique_ptr<services::PinkNoisePlayer> m_pinkNoisePlayer;
    std::unique_ptr<services::MicFrequencyCorrection> m_micFreqCorrection;
    std::unique_ptr<services::MicResponseCalibrationService> m_micResponseService;
    std::unique_ptr<services::CalibrationProfileStore> m_calibrationProfileStore;
    std::unique_ptr<services::LeqStatisticsService> m_leqStatistics;
    std::unique_ptr<services::OutputProfileStore> m_outputProfileStore;
    std::unique_ptr<services::OutputProfileMeasurement> m_outputProfileMeasurement;
    std::unique_ptr<services::ExposureFeed> m_exposureFeed;
    std::unique_ptr<services::CriteriaMeter> m_criteriaMeter;
    std::unique_ptr<WarningDose> m_warningDose;
    std::unique_ptr<services::OutputSource> m_outputSource;

    QTimer m_splUpdateTimer;
    std::unique_ptr<QTimer> m_readingSampleTimer;
    QTimer m_midnightResetTimer;
    std::optional<QDateTime> m_nextDailyReset;
    // The calendar day the dose belongs to; a tick on another day resets first.
    QDate m_doseDay;
    // Emits changed() once on a later turn of the event loop, however many services
    // changed in this one.
    AfterThisTurn m_announceChange{*this, [this] { emit changed(); }};
    // The last checkpoint failed; the console has been told.
    bool m_checkpointFailing = false;
    // The name of the session that ended because its input was gone while a watched
    // workstation ran; capture goes on trying so that a new one can start.
    std::optional<QString> m_sessionCutByLostInput;

    // Snooze, sustained watch and peak rate limits live here.
    std::unique_ptr<AlertCenter> m_alerts;
    std::unique_ptr<CalibrationCenter> m_calibration;
};

} // namespace kavro::core
