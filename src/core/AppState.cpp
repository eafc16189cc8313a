#include "core/AppState.h"

#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/LoginItemService.h"
#include "platform/NotificationCenter.h"
#include "platform/PreferencesStore.h"
#include "platform/Workspace.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/CalibrationProfileStore.h"
#include "services/DAWDetectionService.h"
#include "services/DoseCalculator.h"
#include "services/LeqStatisticsService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/MicResponseCalibrationService.h"
#include "services/PinkNoisePlayer.h"
#include "services/SessionManager.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace kavro::core {

using services::AudioDeviceManager;
using services::AudioMeasurementService;
using services::CalibrationProfileStore;
using services::DAWDetectionService;
using services::DoseCalculator;
using services::LeqStatisticsService;
using services::MicFrequencyCorrection;
using services::MicResponseCalibrationService;
using services::PinkNoisePlayer;
using services::SessionManager;

namespace {

// The three settings whose default is on: anything but a stored boolean counts as absent.
bool boolDefaultingToTrue(const platform::PreferencesStore& preferences, const QString& key) {
    return preferences.boolValue(key).value_or(true);
}

// The history store's console lines: what failed, then why.
const QString kFolderFailed =
    QStringLiteral("⚠️ Kavro: failed to create Application Support directory: ");
const QString kLoadFailed = QStringLiteral("Failed to load session history: ");
const QString kSaveFailed = QStringLiteral("Failed to save session history: ");
const QString kExportFailed = QStringLiteral("[Kavro] CSV export failed: ");

void printIfFailed(const QString& what, const std::optional<QString>& error) {
    if (error) {
        platform::printConsoleLine(what + *error);
    }
}

} // namespace

AppState::AppState(Platform platform, QObject* parent)
    : QObject(parent), m_preferences(platform.preferences), m_clock(platform.clock),
      m_notificationCenter(platform.notificationCenter), m_workspace(platform.workspace),
      m_loginItem(platform.loginItem) {
    // 1. The device model every capture and playback goes through.
    m_deviceManager = std::make_unique<AudioDeviceManager>(platform.audioBackend, m_preferences);

    // 2. The dose, the workstation watch (it lists what is running now, before any
    // handler exists, so a workstation already open starts nothing), then the sessions,
    // whose constructor loads the history.
    m_doseCalculator = std::make_unique<DoseCalculator>(m_preferences, m_clock);
    m_dawDetection = std::make_unique<DAWDetectionService>(m_workspace);
    m_sessionManager = std::make_unique<SessionManager>(m_clock, platform.files, platform.dataFolder);
    printIfFailed(kFolderFailed, m_sessionManager->openingProblems().folder);
    printIfFailed(kLoadFailed, m_sessionManager->openingProblems().load);

    // 3. The settings keep their member defaults until the stored values are read.

    // 4. Pink noise and the calibration services, then the statistics.
    m_pinkNoisePlayer = std::make_unique<PinkNoisePlayer>(platform.audioBackend);
    m_micFreqCorrection = std::make_unique<MicFrequencyCorrection>(m_preferences);
    m_micResponseService = std::make_unique<MicResponseCalibrationService>(m_clock);
    m_calibrationProfileStore = std::make_unique<CalibrationProfileStore>(m_preferences);
    m_leqStatistics = std::make_unique<LeqStatisticsService>(kLeqRateHz);

    // 5. No timers yet; the alerts start with no snooze, no sustained run and no peak
    // sent. They read the settings and the dose at the moment they build a notification.
    m_alerts =
        std::make_unique<AlertCenter>(m_notificationCenter, m_clock,
                                      AlertCenter::Settings{[this] { return m_peakMonitoringEnabled; },
                                                            [this] { return m_timeSensitiveNotifications; }},
                                      [this] { return m_doseCalculator->accumulatedDose(); });

    // 6. The stored settings.
    const QString storedDeviceUID = m_preferences.string(kSelectedDeviceUIDKey).value_or(QString());
    const double storedOffset = m_preferences.doubleValue(kCalibrationOffsetKey).value_or(0.0);
    const bool storedAutoStart = boolDefaultingToTrue(m_preferences, kAutoStartSessionsKey);
    const bool storedTimeSensitive = boolDefaultingToTrue(m_preferences, kTimeSensitiveNotificationsKey);
    const bool storedPeakMonitoring = boolDefaultingToTrue(m_preferences, kPeakMonitoringEnabledKey);
    const bool storedConservative = m_preferences.boolValue(kConservativeDoseModeKey).value_or(false);
    const QString storedOutputUID = m_preferences.string(kSelectedOutputDeviceUIDKey).value_or(QString());

    // 7. The input device, also when none was chosen (the system default).
    m_deviceManager->selectDevice(storedDeviceUID);

    // 8. A stored 0.0 means "never calibrated". A value that is not a number at all
    // would turn every level into nonsense, so it falls back the same way.
    const double offset =
        (storedOffset == 0.0 || !std::isfinite(storedOffset)) ? kDefaultCalibrationOffset : storedOffset;

    // 9. The measurement service.
    m_audioService =
        std::make_unique<AudioMeasurementService>(platform.audioBackend, *m_deviceManager, offset);

    // 10. Install the read values without their side effects.
    m_selectedDeviceUID = storedDeviceUID;
    m_calibrationOffset = offset;
    m_conservativeDoseMode = storedConservative;
    m_peakMonitoringEnabled = storedPeakMonitoring;
    m_autoStartSessions = storedAutoStart;
    m_selectedOutputDeviceUID = storedOutputUID;
    m_timeSensitiveNotifications = storedTimeSensitive;

    // 11. A stored microphone correction acts on the very first captured buffer.
    m_audioService->setMicFreqCorrection(m_micFreqCorrection.get());

    // 12. The login item follows what the desktop has registered, not the stored key.
    setLaunchAtLogin(m_loginItem.status() == platform::LoginItemStatus::enabled);

    // 13–14. Today's dose: the stored one, raised to today's completed sessions.
    m_doseCalculator->restorePersistedDose();
    m_doseCalculator->reconcileWithSessions(m_sessionManager->todaysCompletedDose());
    m_doseDay = m_clock.today();

    // 15. Callbacks, notifications and the timers.
    setupProblemReports();
    setupDAWCallbacks();
    setupDoseCallbacks();
    setupAudioServiceCallbacks();
    m_alerts->setupNotifications();
    startSPLFeed();
    scheduleMidnightReset();

    // 16. Change forwarding, then the pink-noise link.
    setupChangeForwarding();
    setupPinkNoiseLink();

    // Quitting ends a running session and keeps it, instead of losing it.
    if (auto* application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this, &AppState::prepareForQuit);
    }
}

AppState::~AppState() {
    // The services' callbacks point back here; none may run while the members go away.
    m_dawDetection->onDAWLaunched = nullptr;
    m_dawDetection->onAllDAWsQuit = nullptr;
    m_doseCalculator->onThresholdCrossed = nullptr;
    m_doseCalculator->onPeakAlert = nullptr;
    m_doseCalculator->onInstantaneousPeakAlert = nullptr;
    m_audioService->onDeviceDisconnected = nullptr;
    m_micResponseService->cancel();
    m_audioService->stop();
    m_pinkNoisePlayer->stop();
}

// ---- wiring ----

void AppState::setupDAWCallbacks() {
    // The setting is read when the event arrives: switching it off during a session
    // leaves that session running after the workstation quits.
    m_dawDetection->onDAWLaunched = [this](const QString& name) {
        if (m_autoStartSessions) {
            startSession(name);
        }
    };
    m_dawDetection->onAllDAWsQuit = [this] {
        if (m_autoStartSessions) {
            endSession();
        }
    };
}

void AppState::setupDoseCallbacks() {
    m_doseCalculator->onThresholdCrossed = [this](models::DoseLevel level) {
        m_alerts->sendThresholdNotification(level);
        emit doseLevelCrossed(level);
    };
    m_doseCalculator->onPeakAlert = [this](double peakDB) { m_alerts->sendPeakNotification(peakDB); };
    m_doseCalculator->onInstantaneousPeakAlert = [this](double peakDB) {
        m_alerts->sendInstantaneousPeakNotification(peakDB);
    };
}

void AppState::setupAudioServiceCallbacks() {
    m_audioService->onDeviceDisconnected = [this] {
        endSession();
        m_alerts->sendDeviceDisconnectedNotification();
    };
}

void AppState::setupChangeForwarding() {
    // Queued: a view hears of a change on a later turn of the event loop, after the
    // code that made it has finished.
    const auto forward = [this](auto* service, auto signal) {
        connect(service, signal, this, &AppState::changed, Qt::QueuedConnection);
    };
    forward(m_sessionManager.get(), &SessionManager::changed);
    forward(m_audioService.get(), &AudioMeasurementService::changed);
    forward(m_doseCalculator.get(), &DoseCalculator::changed);
    forward(m_dawDetection.get(), &DAWDetectionService::changed);
    forward(m_pinkNoisePlayer.get(), &PinkNoisePlayer::changed);
    forward(m_micFreqCorrection.get(), &MicFrequencyCorrection::changed);
    forward(m_micResponseService.get(), &MicResponseCalibrationService::changed);
    forward(m_deviceManager.get(), &AudioDeviceManager::changed);
    forward(m_leqStatistics.get(), &LeqStatisticsService::changed);
}

void AppState::setupProblemReports() {
    // The services say what went wrong; the program decides that it goes to the console.
    connect(m_audioService.get(), &AudioMeasurementService::problem, this, &platform::printConsoleLine);
    connect(m_pinkNoisePlayer.get(), &PinkNoisePlayer::problem, this, &platform::printConsoleLine);
    connect(m_sessionManager.get(), &SessionManager::csvExportFailed, this,
            [](const QString& error) { platform::printConsoleLine(kExportFailed + error); });
}

void AppState::setupPinkNoiseLink() {
    // Each value is handed over on a later turn of the event loop, as it was when
    // assigned: a session start stops the noise first, and by the time that reaches
    // the link the session exists, so capture keeps running.
    const auto deliver = [this] {
        const bool playing = m_pinkNoisePlayer->isPlaying();
        QMetaObject::invokeMethod(
            this, [this, playing] { pinkNoisePlayingChanged(playing); }, Qt::QueuedConnection);
    };
    deliver();
    connect(m_pinkNoisePlayer.get(), &PinkNoisePlayer::changed, this, deliver);
}

void AppState::pinkNoisePlayingChanged(bool playing) {
    if (playing && !m_audioService->isRunning()) {
        m_audioService->start();
    } else if (!playing && m_audioService->isRunning() && !m_sessionManager->currentSession()) {
        m_audioService->stop();
    }
}

// ---- settings ----

void AppState::setSelectedDeviceUID(const QString& uid) {
    m_selectedDeviceUID = uid;
    m_preferences.setString(kSelectedDeviceUIDKey, uid);
    m_deviceManager->selectDevice(uid);
    m_audioService->switchDevice();
    emit changed();
}

void AppState::setCalibrationOffset(double offsetDb) {
    m_calibrationOffset = offsetDb;
    m_preferences.setDouble(kCalibrationOffsetKey, offsetDb);
    m_audioService->setCalibrationOffset(offsetDb);
    emit changed();
}

void AppState::setConservativeDoseMode(bool on) {
    m_conservativeDoseMode = on;
    m_doseCalculator->setConservativeMode(on);
    m_preferences.setBool(DoseCalculator::kConservativeModeKey, m_doseCalculator->conservativeMode());
    m_preferences.setBool(kConservativeDoseModeKey, on);
    emit changed();
}

void AppState::setPeakMonitoringEnabled(bool on) {
    m_peakMonitoringEnabled = on;
    m_preferences.setBool(kPeakMonitoringEnabledKey, on);
    emit changed();
}

void AppState::setAutoStartSessions(bool on) {
    m_autoStartSessions = on;
    m_preferences.setBool(kAutoStartSessionsKey, on);
    emit changed();
}

void AppState::setSelectedOutputDeviceUID(const QString& uid) {
    m_selectedOutputDeviceUID = uid;
    m_preferences.setString(kSelectedOutputDeviceUIDKey, uid);
    emit changed();
}

void AppState::setLaunchAtLogin(bool on) {
    m_launchAtLogin = on;
    m_preferences.setBool(kLaunchAtLoginKey, on);
    applyLaunchAtLogin(on);
    emit changed();
}

void AppState::setTimeSensitiveNotifications(bool on) {
    m_timeSensitiveNotifications = on;
    m_preferences.setBool(kTimeSensitiveNotificationsKey, on);
    emit changed();
}

void AppState::setSimulatedDoseLevel(std::optional<models::DoseLevel> level) {
    m_simulatedDoseLevel = level;
    emit changed();
}

models::DoseLevel AppState::displayDoseLevel() const {
    return m_simulatedDoseLevel.value_or(m_doseCalculator->doseLevel());
}

void AppState::applyLaunchAtLogin(bool enabled) {
    const auto error = enabled ? m_loginItem.registerItem() : m_loginItem.unregisterItem();
    if (!error) {
        return;
    }
    // The desktop refused: bring the setting back in line with what is registered. The
    // second attempt either succeeds or leaves the setting equal to the status, so this
    // cannot loop.
    QMetaObject::invokeMethod(
        this,
        [this] {
            const bool registered = m_loginItem.status() == platform::LoginItemStatus::enabled;
            if (registered != m_launchAtLogin) {
                setLaunchAtLogin(registered);
            }
        },
        Qt::QueuedConnection);
}

// ---- sessions ----

void AppState::startSession(const QString& dawName) {
    const bool wasRunning = m_sessionManager->currentSession().has_value();
    m_pinkNoisePlayer->stop();
    m_sessionManager->startSession(dawName);
    m_doseCalculator->setSessionStartDose(m_doseCalculator->accumulatedDose());
    m_audioService->start();
    startReadingSampler();
    if (!wasRunning) {
        emit sessionStarted(dawName);
    }
}

AppState::EndedDoses AppState::closeSession() {
    const double accumulated = m_doseCalculator->accumulatedDose();
    const double sessionStart = m_doseCalculator->sessionStartDose();
    const double total = m_doseCalculator->dosePercentage();
    const bool hadSession = m_sessionManager->currentSession().has_value();

    printIfFailed(kSaveFailed, m_sessionManager->endSession(*m_doseCalculator));
    m_audioService->stop();
    stopReadingSampler();
    m_leqStatistics->reset();
    m_alerts->clearSustainedWatch();

    if (hadSession && !m_sessionManager->sessionHistory().isEmpty()) {
        emit sessionEnded(m_sessionManager->sessionHistory().front());
    }
    return {(accumulated - sessionStart) * 100.0, total};
}

void AppState::endSession() {
    const bool hadSession = m_sessionManager->currentSession().has_value();
    const EndedDoses doses = closeSession();
    // Without a session there is nothing to sum up; a recap here would only repeat the
    // figures of a session the user already ended.
    if (hadSession) {
        m_alerts->sendSessionRecapNotification(doses.sessionDose, doses.totalDose);
    }
}

void AppState::prepareForQuit() {
    if (m_sessionManager->currentSession()) {
        closeSession();
    }
    m_preferences.flush();
}

void AppState::resetDose() {
    m_sessionManager->removeTodaysSessions();
    printIfFailed(kSaveFailed, m_sessionManager->saveHistory());
    m_doseCalculator->reset();
}

void AppState::deleteSession(const models::Session& session) {
    m_sessionManager->removeSession(session.id);
    printIfFailed(kSaveFailed, m_sessionManager->saveHistory());
    if (m_clock.isToday(session.startDate)) {
        m_doseCalculator->overrideDose(m_sessionManager->todaysCompletedDose());
    }
}

// ---- timers ----

void AppState::startSPLFeed() {
    m_splUpdateTimer.setInterval(kFeedInterval);
    connect(&m_splUpdateTimer, &QTimer::timeout, this, &AppState::splFeedTick);
    m_splUpdateTimer.start();
}

void AppState::splFeedTick() {
    // Ten times a second for the life of the process: with capture off this test is all.
    if (!m_audioService->isRunning()) {
        return;
    }
    const QDateTime now = m_clock.now();
    // After a suspend across midnight the midnight timer fires late; the first
    // measurement of the new day must not be added to yesterday's dose.
    if (m_clock.dayOf(now) != m_doseDay) {
        performDailyReset();
    }
    const double dBA = m_audioService->currentSPL();
    const double dBC = m_audioService->currentDBC();
    const double peakC = m_audioService->peakDBC();
    const double peakA = m_audioService->peakDBA();
    m_doseCalculator->addMeasurement(dBA, dBC, peakC, peakA, now);
    m_leqStatistics->addReading(dBA);
    if (m_sessionManager->currentSession()) {
        m_sessionManager->updateStatistics(dBA, peakC, peakA);
    }
    m_alerts->checkSustainedExposure(dBA);
}

void AppState::startReadingSampler() {
    stopReadingSampler();
    m_readingSampleTimer = std::make_unique<QTimer>(this);
    m_readingSampleTimer->setInterval(kReadingInterval);
    connect(m_readingSampleTimer.get(), &QTimer::timeout, this, &AppState::readingSampleTick);
    m_readingSampleTimer->start();
}

void AppState::stopReadingSampler() {
    m_readingSampleTimer.reset();
}

void AppState::readingSampleTick() {
    if (m_audioService->isRunning()) {
        m_sessionManager->addReading(m_audioService->currentSPL(), m_audioService->currentDBC(),
                                     m_doseCalculator->dosePercentage());
    }
}

void AppState::scheduleMidnightReset() {
    m_midnightResetTimer.stop();
    const QDateTime now = m_clock.now();
    const QDateTime midnight = m_clock.startOfDay(m_clock.dayOf(now).addDays(1));
    if (!midnight.isValid()) {
        m_nextDailyReset.reset();
        return;
    }
    m_nextDailyReset = midnight;
    const qint64 untilMidnight = std::max<qint64>(0, now.msecsTo(midnight));
    m_midnightResetTimer.setSingleShot(true);
    m_midnightResetTimer.setTimerType(Qt::PreciseTimer);
    m_midnightResetTimer.setInterval(
        static_cast<int>(std::min<qint64>(untilMidnight, kDayCheckInterval.count())));
    connect(&m_midnightResetTimer, &QTimer::timeout, this, &AppState::dayCheckTick, Qt::UniqueConnection);
    m_midnightResetTimer.start();
}

void AppState::dayCheckTick() {
    if (m_clock.today() != m_doseDay) {
        performDailyReset();
    } else {
        scheduleMidnightReset();
    }
}

void AppState::performDailyReset() {
    m_doseDay = m_clock.today();
    m_doseCalculator->reset();
    m_leqStatistics->reset();
    printIfFailed(kLoadFailed, m_sessionManager->loadHistory());
    scheduleMidnightReset();
}

} // namespace kavro::core
