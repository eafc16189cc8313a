// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/AppState.h"
#include "core/CalibrationCenter.h"

#include "core/WarningDose.h"
#include "dsp/LevelMath.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/LoginItemService.h"
#include "platform/NotificationCenter.h"
#include "platform/Workspace.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/CalibrationProfileStore.h"
#include "services/CriteriaMeter.h"
#include "services/DAWDetectionService.h"
#include "services/DoseCalculator.h"
#include "services/ExposureFeed.h"
#include "services/LeqStatisticsService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/MicResponseCalibrationService.h"
#include "services/OutputProfileMeasurement.h"
#include "services/OutputProfileStore.h"
#include "services/OutputSource.h"
#include "services/PinkNoisePlayer.h"
#include "services/SessionManager.h"

#include <QCoreApplication>

#include <algorithm>

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

namespace keys = platform::keys;

namespace {

// The history store's console lines: what failed, then why.
const QString kFolderFailed =
    QStringLiteral("⚠️ Kavro: failed to create Application Support directory: ");
const QString kLoadFailed = QStringLiteral("Failed to load session history: ");
const QString kAccessFailed = QStringLiteral("⚠️ Kavro: failed to keep the session history private: ");
const QString kCheckpointFailed = QStringLiteral("Failed to save the running session: ");
const QString kRecoveryFailed = QStringLiteral("Failed to recover the running session: ");
const QString kSaveFailed = QStringLiteral("Failed to save session history: ");
const QString kExportFailed = QStringLiteral("[Kavro] CSV export failed: ");

void printIfFailed(const QString& what, const std::optional<QString>& error) {
    if (error) {
        platform::printConsoleLine(what + *error);
    }
}

} // namespace

AppState::AppState(Platform platform, QObject* parent)
    : QObject(parent), m_settings(platform.preferences), m_clock(platform.clock),
      m_audioBackend(platform.audioBackend), m_notificationCenter(platform.notificationCenter),
      m_workspace(platform.workspace), m_loginItem(platform.loginItem),
      m_selectedDeviceUID(m_settings, keys::selectedDeviceUID, settingAnnouncer(),
                          [this](const QString& uid) {
                              m_deviceManager->selectDevice(uid);
                              m_audioService->switchDevice();
                          }),
      m_calibrationOffset(m_settings, keys::calibrationOffset, settingAnnouncer(),
                          [this](double offsetDb) {
                              m_audioService->setCalibrationOffset(offsetDb);
                              if (m_calibration) {
                                  m_calibration->offsetAssigned(offsetDb);
                              }
                          }),
      // The calculator keeps its own copy, which it reads back at the next launch.
      m_conservativeDoseMode(m_settings, keys::conservativeDoseMode, settingAnnouncer(),
                             [this](bool on) { m_doseCalculator->setConservativeMode(on); }),
      m_peakMonitoringEnabled(m_settings, keys::peakMonitoringEnabled, settingAnnouncer()),
      m_autoStartSessions(m_settings, keys::autoStartSessions, settingAnnouncer()),
      m_selectedOutputDeviceUID(m_settings, keys::selectedOutputDeviceUID, settingAnnouncer()),
      m_launchAtLogin(m_settings, keys::launchAtLogin, settingAnnouncer(),
                      [this](bool on) { applyLaunchAtLogin(on); }),
      m_timeSensitiveNotifications(m_settings, keys::timeSensitiveNotifications, settingAnnouncer()),
      m_micLocationNote(m_settings, keys::micLocationNote, settingAnnouncer()),
      m_measureFrom(m_settings, keys::measureFrom, settingAnnouncer(),
                    [this](const QString&) { applyMeasuredSource(); }),
      m_warnBy(m_settings, keys::warnBy, settingAnnouncer(),
               [this](const QString& name) { m_warningDose->setChoice(WarningDose::choiceNamed(name)); }),
      m_dayStartMinutes(m_settings, keys::dayStartMinutes, settingAnnouncer(),
                        [this](std::int64_t minutes) { applyDayStart(minutes); }),
      m_visibleCriteria(m_settings, keys::visibleCriteria, settingAnnouncer()) {
    // Every rule with a day in it asks the clock, from the first loaded session on.
    m_dayStartMinutes.installStored();
    m_clock.setDayStartMinutes(m_dayStartMinutes.value());
    createServices(platform);
    restoreSettings();
    createMeasurementService(platform);
    m_calibration = std::make_unique<CalibrationCenter>(
        CalibrationCenter::Parts{*m_deviceManager, *m_audioService, *m_pinkNoisePlayer, *m_micFreqCorrection,
                                 *m_sessionManager, m_notificationCenter, m_clock, m_settings},
        [this](double offsetDb) { setCalibrationOffset(offsetDb); });

    // The login item follows what the desktop has registered, not the stored key. It is
    // assigned like a change so that the key and the registration agree from here on.
    setLaunchAtLogin(m_loginItem.status() == platform::LoginItemStatus::enabled);

    const auto resumed = restoreTodaysDose();

    // Only now may events flow: every handler below finds its services and settings in place.
    setupProblemReports();
    setupDAWCallbacks();
    setupDoseCallbacks();
    setupAudioServiceCallbacks();
    m_alerts->setupNotifications();
    startSPLFeed();
    scheduleMidnightReset();
    setupChangeForwarding();
    setupPinkNoiseLink();
    if (resumed) {
        resumeSession(*resumed);
    }

    // Quitting ends a running session and keeps it, instead of losing it.
    if (auto* application = QCoreApplication::instance()) {
        connect(application, &QCoreApplication::aboutToQuit, this, &AppState::prepareForQuit);
    }
}

void AppState::createServices(const Platform& platform) {
    m_deviceManager = std::make_unique<AudioDeviceManager>(platform.audioBackend, m_settings);
    m_doseCalculator = std::make_unique<DoseCalculator>(m_settings, m_clock);
    // The workstation watch restores the user's entries and lists what is running now,
    // before any handler exists, so a workstation already open at launch starts no session.
    m_dawDetection = std::make_unique<DAWDetectionService>(m_workspace, m_settings);
    // Loads the history; what went wrong is reported here, once.
    m_sessionManager = std::make_unique<SessionManager>(m_clock, platform.files, platform.dataFolder);
    m_sessionManager->setWriterLock(platform.writerLock);
    printIfFailed(kFolderFailed, m_sessionManager->openingProblems().folder);
    printIfFailed(kAccessFailed, m_sessionManager->openingProblems().access);
    printIfFailed(kLoadFailed, m_sessionManager->openingProblems().load);
    m_pinkNoisePlayer = std::make_unique<PinkNoisePlayer>(platform.audioBackend);
    m_micFreqCorrection = std::make_unique<MicFrequencyCorrection>(m_settings);
    m_micResponseService = std::make_unique<MicResponseCalibrationService>(m_clock);
    m_calibrationProfileStore = std::make_unique<CalibrationProfileStore>(m_settings);
    m_outputProfileStore = std::make_unique<services::OutputProfileStore>(m_settings);
    m_leqStatistics = std::make_unique<LeqStatisticsService>(kLeqRateHz);
    m_criteriaMeter = std::make_unique<services::CriteriaMeter>(m_settings, m_clock);
    m_warningDose =
        std::make_unique<WarningDose>(*m_doseCalculator, *m_criteriaMeter, *m_sessionManager, m_clock);

    // The alerts start with no snooze, no sustained run and no peak sent. They read the
    // settings and the dose at the moment they build a notification.
    m_alerts = std::make_unique<AlertCenter>(
        m_notificationCenter, m_clock,
        AlertCenter::Settings{[this] { return m_peakMonitoringEnabled.value(); },
                              [this] { return m_timeSensitiveNotifications.value(); }},
        [this] { return m_doseCalculator->accumulatedDose(); });
}

void AppState::restoreSettings() {
    // The stored values are taken as they are: their side effects already happened in
    // the run that stored them, or are done by the services' own restore.
    m_selectedDeviceUID.installStored();
    m_calibrationOffset.installStored();
    // A damaged or mistyped stored offset would turn every level into hundreds of
    // decibels; the default is used instead, and the console says so.
    if (!dsp::level::isPlausibleCalibrationOffset(m_calibrationOffset.value())) {
        const double fallback = platform::Settings::defaultOf(keys::calibrationOffset);
        platform::printConsoleLine(
            QStringLiteral(
                "[Kavro] The stored calibration offset of %1 dB lies outside %2 to %3 dB; using %4 dB")
                .arg(m_calibrationOffset.value())
                .arg(dsp::level::kMinimumCalibrationOffsetDb)
                .arg(dsp::level::kMaximumCalibrationOffsetDb)
                .arg(fallback));
        m_calibrationOffset.install(fallback);
    }
    m_conservativeDoseMode.installStored();
    m_peakMonitoringEnabled.installStored();
    m_autoStartSessions.installStored();
    m_selectedOutputDeviceUID.installStored();
    m_timeSensitiveNotifications.installStored();
    m_micLocationNote.installStored();
    m_measureFrom.installStored();
    m_warnBy.installStored();
    m_visibleCriteria.installStored();
    m_warningDose->setChoice(WarningDose::choiceNamed(m_warnBy.value()));
    // The stored channel belongs to the stored device, so the device is restored, not
    // chosen anew (which would set the channel back to the first).
    m_deviceManager->restoreDevice(m_selectedDeviceUID.value());
}

void AppState::createMeasurementService(const Platform& platform) {
    m_audioService = std::make_unique<AudioMeasurementService>(platform.audioBackend, *m_deviceManager,
                                                               m_clock, m_calibrationOffset.value());
    // A stored microphone correction acts on the very first captured buffer.
    m_audioService->setMicFreqCorrection(m_micFreqCorrection.get());
    m_outputProfileMeasurement = std::make_unique<services::OutputProfileMeasurement>(
        *m_audioService, *m_pinkNoisePlayer, *m_outputProfileStore, m_clock);
    // The microphone's line follows the choice, and the default input when nothing is chosen.
    connect(m_deviceManager.get(), &AudioDeviceManager::changed, this, [this] { m_microphoneText.reset(); });
    m_microphoneTextListener = m_audioBackend.observeDeviceChanges([this] { m_microphoneText.reset(); });
    if (!platform.outputTap) {
        return;
    }
    // The stored profiles, unless the caller brings its own references.
    const services::OutputReferenceSource& references =
        platform.outputReferences ? *platform.outputReferences : *m_outputProfileStore;
    m_outputSource = std::make_unique<services::OutputSource>(*platform.outputTap, references);
    // Without a sound server the microphone is measured; the tap keeps trying to reach it.
    if (const auto problem = m_outputSource->connect()) {
        platform::printConsoleLine(QStringLiteral("[Kavro] Outputs cannot be measured: ") + *problem);
    }
    // Automatic follows the default output (and the first launch the input devices).
    connect(m_outputSource.get(), &services::OutputSource::changed, this, &AppState::applyMeasuredSource);
    connect(m_deviceManager.get(), &AudioDeviceManager::changed, this, &AppState::applyMeasuredSource);
    applyMeasuredSource();
}

void AppState::applyMeasuredSource() {
    if (!m_outputSource) {
        return;
    }
    const bool output =
        services::OutputSource::measuresOutput(measureFrom(), m_outputSource->headphonesActive());
    m_audioService->setOutputSource(output ? m_outputSource.get() : nullptr);
    recordSessionSource();
    emit changed();
}

void AppState::recordSessionSource() {
    if (!isMeasuringOutput() || !m_sessionManager->currentSession()) {
        return;
    }
    if (const auto output = m_outputSource->measuredOutput()) {
        const services::OutputReference reference = m_outputSource->referenceOf(*output);
        m_sessionManager->recordOutputSource({reference.displayName, reference.estimated});
    }
}

bool AppState::isMeasuringOutput() const {
    return m_outputSource && m_audioService->outputSource() == m_outputSource.get();
}

QString AppState::measuredSourceText() const {
    if (isMeasuringOutput()) {
        return m_outputSource->basisText();
    }
    if (!m_microphoneText) {
        m_microphoneText = tr("Microphone");
        // The chosen input, else the system's default input.
        const QString uid = m_deviceManager->captureDeviceUID();
        for (const auto& device : m_audioBackend.inputDevices()) {
            if (uid.isEmpty() ? device.isDefault : device.uid == uid) {
                m_microphoneText = tr("Microphone · %1").arg(device.name);
                break;
            }
        }
    }
    return *m_microphoneText;
}

std::optional<services::SessionCheckpoint::Running> AppState::restoreTodaysDose() {
    // A restart on the same day continues the stored dose; today's completed sessions,
    // which the history keeps even when the stored dose was lost, are its floor, and so
    // is the dose a session that goes on had seen at its checkpoint.
    if (const auto reset = m_doseCalculator->restorePersistedDose()) {
        platform::printConsoleLine(*reset);
    }
    auto resumed = recoverSession();
    double floor = m_sessionManager->todaysCompletedDose();
    if (resumed && m_clock.isToday(resumed->savedAt)) {
        floor = std::max(floor, resumed->accumulatedDose * 100.0);
    }
    m_doseCalculator->reconcileWithSessions(floor);
    m_criteriaMeter->restore();
    m_criteriaMeter->raiseTo(m_sessionManager->todaysSessions());
    m_warningDose->settle();
    m_doseDay = m_clock.today();
    return resumed;
}

std::optional<services::SessionCheckpoint::Running> AppState::recoverSession() {
    auto recovery = m_sessionManager->recoverCheckpoint();
    printIfFailed(kRecoveryFailed, recovery.problem);
    if (!recovery.running) {
        return std::nullopt;
    }
    // The session of a workstation that still runs goes on, as if the program had never
    // stopped; otherwise it ended when its last checkpoint was taken, for all we know.
    const QString& name = recovery.running->session.dawName;
    const auto& active = m_dawDetection->activeDAWs();
    if (m_autoStartSessions.value() && std::find(active.cbegin(), active.cend(), name) != active.cend()) {
        return recovery.running;
    }
    const models::Session closed = recovery.running->closedAtCheckpoint();
    printIfFailed(kSaveFailed, m_sessionManager->closeRecoveredSession(*recovery.running));
    // Those who watch the state connect after it is built.
    QMetaObject::invokeMethod(
        this, [this, closed] { emit sessionEnded(closed); }, Qt::QueuedConnection);
    return std::nullopt;
}

void AppState::resumeSession(const services::SessionCheckpoint::Running& state) {
    m_sessionManager->resumeSession(state);
    // The session's share of the dose counts from its mark, which midnight moves to zero.
    m_doseCalculator->setSessionStartDose(
        m_clock.isToday(state.savedAt) ? std::min(state.sessionStartDose, m_doseCalculator->accumulatedDose())
                                       : 0.0);
    m_audioService->start();
    startReadingSampler();
    saveCheckpoint();
    const QString name = state.session.dawName;
    QMetaObject::invokeMethod(
        this, [this, name] { emit sessionStarted(name); }, Qt::QueuedConnection);
}

void AppState::saveCheckpoint() {
    const auto error = m_sessionManager->saveCheckpoint(*m_doseCalculator);
    // Said when checkpoints start failing, not every minute while the disk stays full.
    if (error && !m_checkpointFailing) {
        platform::printConsoleLine(kCheckpointFailed + *error);
    }
    m_checkpointFailing = error.has_value();
}

SettingAnnouncer AppState::settingAnnouncer() {
    return [this](platform::SettingKey key) {
        emit settingChanged(key);
        emit changed();
    };
}

AppState::~AppState() {
    // The services' callbacks point back here; none may run while the members go away.
    m_dawDetection->onDAWLaunched = nullptr;
    m_dawDetection->onAllDAWsQuit = nullptr;
    m_doseCalculator->onThresholdCrossed = nullptr;
    m_doseCalculator->onPeakAlert = nullptr;
    m_doseCalculator->onInstantaneousPeakAlert = nullptr;
    m_audioService->onDeviceDisconnected = nullptr;
    m_audioService->onCaptureLost = nullptr;
    m_audioService->onCaptureResumed = nullptr;
    m_micResponseService->cancel();
    m_audioService->stop();
    m_audioService->setOutputSource(nullptr);
    m_pinkNoisePlayer->stop();
}

// ---- wiring ----

void AppState::setupDAWCallbacks() {
    // The setting is read when the event arrives: switching it off during a session
    // leaves that session running after the workstation quits.
    m_dawDetection->onDAWLaunched = [this](const QString& name) {
        if (m_autoStartSessions.value()) {
            startSession(name);
        }
    };
    m_dawDetection->onAllDAWsQuit = [this] {
        if (m_autoStartSessions.value()) {
            endSession();
        }
    };
}

void AppState::setupDoseCallbacks() {
    const auto crossed = [this](models::DoseLevel level) {
        m_alerts->sendThresholdNotification(level);
        emit doseLevelCrossed(level);
    };
    // The daily dose announces its own bands only while it is the dose that warns.
    m_doseCalculator->onThresholdCrossed = [this, crossed](models::DoseLevel level) {
        if (m_warningDose->choice() == WarningDose::Choice::nioshDaily) {
            crossed(level);
        }
    };
    m_warningDose->onCrossed = crossed;
    m_doseCalculator->onPeakAlert = [this](double peakDB) { m_alerts->sendPeakNotification(peakDB); };
    m_doseCalculator->onInstantaneousPeakAlert = [this](double peakDB) {
        m_alerts->sendInstantaneousPeakNotification(peakDB);
    };
}

void AppState::setupAudioServiceCallbacks() {
    // While the input is gone the session goes on unmeasured, and says for how long, so
    // that neither its figures nor the dose take that time for measured time.
    m_audioService->onCaptureLost = [this] {
        m_sessionManager->beginUnmeasuredGap();
        m_alerts->clearSustainedWatch();
    };
    m_audioService->onCaptureResumed = [this] {
        m_sessionManager->endUnmeasuredGap();
        m_doseCalculator->resumeMeasuringAt(m_clock.now());
        m_criteriaMeter->resumeMeasuringAt(m_clock.now());
        if (!m_sessionCutByLostInput) {
            return;
        }
        if (const auto name = workstationAwaitingInput()) {
            startSession(*name);
        } else {
            // The workstations quit or sessions no longer follow them: nothing wants
            // capture any more (unless the noise plays).
            m_sessionCutByLostInput.reset();
            if (!m_pinkNoisePlayer->isPlaying() && !m_sessionManager->currentSession()) {
                m_audioService->stop();
            }
        }
    };
    m_audioService->onDeviceDisconnected = [this] { inputGone(); };
}

void AppState::inputGone() {
    const auto& current = m_sessionManager->currentSession();
    const QString name = current ? current->dawName : QString();
    const bool hadSession = current.has_value();
    const bool outputLost = isMeasuringOutput();
    // A workstation that still runs wants a session as soon as there is something to
    // measure again: capture keeps trying for it.
    const bool awaitInput = hadSession && m_autoStartSessions.value() && m_dawDetection->isDAWRunning();
    const EndedDoses doses = closeSession(awaitInput);
    if (hadSession) {
        m_alerts->sendSessionRecapNotification(doses.sessionDose, doses.totalDose);
    }
    m_alerts->sendDeviceDisconnectedNotification(outputLost);
    if (awaitInput) {
        m_sessionCutByLostInput = name;
    }
}

std::optional<QString> AppState::workstationAwaitingInput() const {
    if (m_sessionManager->currentSession() || !m_autoStartSessions.value() ||
        !m_dawDetection->isDAWRunning()) {
        return std::nullopt;
    }
    // The ended session's workstation if it still runs, else one that does.
    const auto& active = m_dawDetection->activeDAWs();
    if (std::find(active.cbegin(), active.cend(), *m_sessionCutByLostInput) != active.cend()) {
        return m_sessionCutByLostInput;
    }
    return active.isEmpty() ? std::nullopt : std::optional<QString>(*active.cbegin());
}

void AppState::setupChangeForwarding() {
    // A view hears of a change on a later turn of the event loop, after the code that
    // made it has finished; the changes of one turn (a batch of audio moves the level,
    // the dose and the statistics at once) make one announcement, so every view redraws
    // once for them.
    const auto forward = [this](auto* service, auto signal) {
        connect(service, signal, this, [this] { m_announceChange.request(); });
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
    forward(m_outputProfileStore.get(), &services::OutputProfileStore::changed);
    forward(m_outputProfileMeasurement.get(), &services::OutputProfileMeasurement::changed);
    forward(m_calibration.get(), &CalibrationCenter::changed);
    forward(m_criteriaMeter.get(), &services::CriteriaMeter::changed);
}

void AppState::setupProblemReports() {
    // The services say what went wrong; the program decides that it goes to the console.
    connect(m_audioService.get(), &AudioMeasurementService::problem, this, &platform::printConsoleLine);
    connect(m_pinkNoisePlayer.get(), &PinkNoisePlayer::problem, this, &platform::printConsoleLine);
    connect(m_sessionManager.get(), &SessionManager::csvExportFailed, this,
            [](const QString& error) { platform::printConsoleLine(kExportFailed + error); });
    // The console is not enough for a history that cannot be written: the user hears of
    // it once when saving starts to fail (the panel shows it until a save succeeds).
    connect(m_sessionManager.get(), &SessionManager::historySaveProblemChanged, this,
            &AppState::historySaveProblemChanged);
    // A save that failed while the state was being built (a recovered session) is told
    // once everything, the notifications included, is set up.
    if (m_sessionManager->historySaveProblem()) {
        QMetaObject::invokeMethod(this, &AppState::historySaveProblemChanged, Qt::QueuedConnection);
    }
}

void AppState::historySaveProblemChanged() {
    if (const auto& problem = m_sessionManager->historySaveProblem()) {
        m_alerts->sendHistorySaveFailedNotification(*problem);
    }
    emit changed();
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
    // A value the player no longer has when it arrives is stale: the noise was
    // stopped and started again within one turn (a response measurement moving it to
    // its output does exactly that), and stopping capture for the stale "off" would
    // end the measurement that just began.
    if (playing != m_pinkNoisePlayer->isPlaying()) {
        return;
    }
    if (playing && !m_audioService->isRunning()) {
        m_audioService->start();
    } else if (!playing && m_audioService->isCaptureWanted() && !m_sessionManager->currentSession() &&
               !m_sessionCutByLostInput) {
        m_audioService->stop();
    }
}

// ---- settings ----

void AppState::setSimulatedDoseLevel(std::optional<models::DoseLevel> level) {
    m_simulatedDoseLevel = level;
    emit changed();
}

models::MeasureFrom AppState::measureFrom() const {
    const QString& stored = m_measureFrom.value();
    return models::measureFromInForce(stored.isEmpty() ? std::nullopt : std::optional<QString>(stored),
                                      !m_deviceManager->inputDevices().isEmpty());
}

models::DoseLevel AppState::displayDoseLevel() const {
    return m_simulatedDoseLevel.value_or(m_warningDose->level());
}

void AppState::applyDayStart(std::int64_t minutes) {
    m_clock.setDayStartMinutes(minutes);
    // The day in progress goes on under the new boundary: nothing counted so far is
    // dropped, and what is stored is dated now, so that a restart finds it today's.
    m_doseDay = m_clock.today();
    m_doseCalculator->storeDose();
    m_criteriaMeter->store();
    if (m_sessionManager->currentSession()) {
        saveCheckpoint();
    }
    m_warningDose->settle();
    scheduleMidnightReset();
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
            if (registered != m_launchAtLogin.value()) {
                setLaunchAtLogin(registered);
            }
        },
        Qt::QueuedConnection);
}

// ---- sessions ----

void AppState::startSession(const QString& dawName) {
    const bool wasRunning = m_sessionManager->currentSession().has_value();
    m_sessionCutByLostInput.reset();
    m_pinkNoisePlayer->stop();
    m_sessionManager->startSession(dawName);
    recordSessionSource();
    m_doseCalculator->setSessionStartDose(m_doseCalculator->accumulatedDose());
    saveCheckpoint();
    m_audioService->start();
    // Capture may have been without input before the session began.
    if (m_audioService->isRetrying()) {
        m_sessionManager->beginUnmeasuredGap();
    }
    startReadingSampler();
    m_calibration->sessionStarted();
    if (!wasRunning) {
        emit sessionStarted(dawName);
    }
}

AppState::EndedDoses AppState::closeSession(bool keepCapture) {
    const double accumulated = m_doseCalculator->accumulatedDose();
    const double sessionStart = m_doseCalculator->sessionStartDose();
    const double total = m_doseCalculator->dosePercentage();
    const bool hadSession = m_sessionManager->currentSession().has_value();

    m_calibration->stampSession();
    printIfFailed(kSaveFailed, m_sessionManager->endSession(*m_doseCalculator));
    m_sessionCutByLostInput.reset();
    if (!keepCapture) {
        m_audioService->stop();
    }
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
    m_criteriaMeter->store();
    m_settings.flush();
}

void AppState::resetDose() {
    m_sessionManager->removeTodaysSessions();
    printIfFailed(kSaveFailed, m_sessionManager->saveHistory());
    m_doseCalculator->reset();
    m_criteriaMeter->reset();
    m_warningDose->settle();
}

void AppState::deleteSession(const models::Session& session) {
    // The share taken away is what the history held for the session, however often.
    const double before = m_sessionManager->todaysCompletedDose();
    m_sessionManager->removeSession(session.id);
    const double remaining = m_sessionManager->todaysCompletedDose();
    printIfFailed(kSaveFailed, m_sessionManager->saveHistory());
    if (m_clock.isToday(session.startDate)) {
        m_doseCalculator->removeSessionDose(before - remaining, remaining,
                                            m_sessionManager->currentSession().has_value());
        m_criteriaMeter->removeSession(session);
        m_warningDose->settle();
    }
}

// ---- timers ----

void AppState::startSPLFeed() {
    m_exposureFeed = std::make_unique<services::ExposureFeed>(*m_doseCalculator, *m_leqStatistics,
                                                              m_sessionManager.get(), m_criteriaMeter.get());
    m_exposureFeed->onLevel = [this](double laeq) { m_alerts->checkSustainedExposure(laeq); };
    m_splUpdateTimer.setInterval(kFeedInterval);
    connect(&m_splUpdateTimer, &QTimer::timeout, this, &AppState::splFeedTick);
    m_audioService->setCollectInterval(kFeedInterval);
    // With capture off there is nothing to feed: the timer sleeps rather than wake the
    // program ten times a second all day.
    connect(m_audioService.get(), &AudioMeasurementService::changed, this, &AppState::followCapture);
    followCapture();
}

void AppState::followCapture() {
    const bool running = m_audioService->isRunning();
    if (running && !m_splUpdateTimer.isActive()) {
        m_splUpdateTimer.start();
    } else if (!running && m_splUpdateTimer.isActive()) {
        m_splUpdateTimer.stop();
    }
}

void AppState::splFeedTick() {
    // The buffers measured since the last tick are published here rather than by a wake
    // of their own.
    m_audioService->collect();
    if (!m_audioService->isRunning()) {
        return;
    }
    const QDateTime now = m_clock.now();
    // After a suspend across midnight the midnight timer fires late; the first
    // measurement of the new day must not be added to yesterday's dose.
    if (m_clock.dayOf(now) != m_doseDay) {
        performDailyReset();
    }
    // All the audio since the previous tick, not just its last buffer: every sample
    // counts towards the dose and the statistics, and every peak is seen. A calibrator's
    // tone (114 dB would add a tenth of the day's dose in seconds) is not.
    const dsp::IntervalLevels interval = m_audioService->takeInterval();
    if (m_calibration->isListeningToCalibrator()) {
        return;
    }
    if (m_exposureFeed->feed(interval, now)) {
        m_warningDose->checkCrossing();
    }
    m_calibration->feedTick();
}

void AppState::startReadingSampler() {
    stopReadingSampler();
    m_readingSampleTimer = std::make_unique<QTimer>(this);
    m_readingSampleTimer->setInterval(kReadingInterval);
    // Every tick is also a checkpoint of the session: a coarse timer could stretch the
    // minute a crash may cost.
    m_readingSampleTimer->setTimerType(Qt::PreciseTimer);
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
    if (m_sessionManager->currentSession()) {
        saveCheckpoint();
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
    // A history that could not be saved is tried again once a minute; the console and
    // the user have already been told.
    if (m_sessionManager->historySaveProblem()) {
        (void)m_sessionManager->saveHistory();
    }
}

void AppState::performDailyReset() {
    m_doseDay = m_clock.today();
    m_doseCalculator->reset();
    m_criteriaMeter->reset();
    m_warningDose->settle();
    m_leqStatistics->reset();
    printIfFailed(kLoadFailed, m_sessionManager->loadHistory());
    scheduleMidnightReset();
}

} // namespace kavro::core
