// SPDX-License-Identifier: GPL-3.0-or-later
// The application state against the fakes: the scripted audio backend and workspace,
// the recording notification centre, the memory store and a manual clock. The timers
// are driven by calling their handlers, so no test waits for time to pass except for
// the 0.4 s device rule of the measurement service.
#include "core/AppState.h"
#include "core/CalibrationCenter.h"
#include "platform/SettingKey.h"
#include "platform/Settings.h"
#include "platform/testing/ScriptedOutputTap.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/DAWDetectionService.h"
#include "services/DoseCalculator.h"
#include "services/LeqStatisticsService.h"
#include "services/OutputSource.h"
#include "services/PinkNoisePlayer.h"
#include "services/SessionManager.h"
#include "support/AppStateFixture.h"
#include "support/TestSignals.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

namespace keys = kavro::platform::keys;

namespace kavro {
namespace {

using core::AppState;
using models::DoseLevel;
using platform::LoginItemStatus;
using testing::waitUntil;

const QString kReaper = QStringLiteral("com.cockos.reaper");
const QString kAbleton = QStringLiteral("com.ableton.live");

class AppStateTest : public testing::AppStateFixture {
protected:
    AppStateTest() {
        backend.inputs = {input(QStringLiteral("usb"))};
        backend.outputs = {input(QStringLiteral("speakers"))};
        tone = testing::sineBuffer(1000.0, 1.0, kSampleRate,
                                   services::AudioMeasurementService::kFramesPerBuffer);
    }

    static platform::AudioDeviceDescription input(const QString& uid) { return device(uid, uid); }
    static QString historyPath() { return services::SessionManager::historyFileIn(kDataFolder); }
    // The history as the next launch will find it.
    std::unique_ptr<services::SessionManager> reread() {
        return std::make_unique<services::SessionManager>(clock, files, kDataFolder);
    }

    void build() {
        state = makeState(preferences);
        settle();
    }

    // A full-scale 1 kHz sine: about 91 dBA with the default 94 dB offset.
    void playLoud() {
        play(1000.0, 1.0);
        ASSERT_GT(state->audioService().currentSPL(), 90.0);
    }

    int readingTimers() const {
        int count = 0;
        for (const QTimer* timer : state->findChildren<QTimer*>()) {
            count += timer->interval() == AppState::kReadingInterval.count() ? 1 : 0;
        }
        return count;
    }

    std::vector<QString> identifiers() const {
        std::vector<QString> result;
        for (const auto& request : notifications.requests()) {
            result.push_back(request.identifier);
        }
        return result;
    }

    bool posted(const QString& prefix) const {
        for (const auto& id : identifiers()) {
            if (id.startsWith(prefix)) {
                return true;
            }
        }
        return false;
    }
};

// ---- settings ----

// The defaults themselves are the settings table's; here, that the services start from
// them, also when what is stored means nothing, and that the login item is asked.
TEST_F(AppStateTest, LaunchHandsTheSettingsToTheServices) {
    loginItem.setStatus(LoginItemStatus::enabled);
    for (const double stored : {0.0, std::numeric_limits<double>::quiet_NaN()}) {
        preferences.setDouble(keys::calibrationOffset.name, stored);
        preferences.setString(keys::autoStartSessions.name, QStringLiteral("false"));
        build();
        EXPECT_EQ(state->audioService().calibrationOffset(),
                  platform::Settings::defaultOf(keys::calibrationOffset))
            << stored;
        EXPECT_TRUE(state->autoStartSessions());
        EXPECT_TRUE(state->peakMonitoringEnabled());
        EXPECT_TRUE(state->timeSensitiveNotifications());
        EXPECT_FALSE(state->doseCalculator().conservativeMode());
        EXPECT_TRUE(state->launchAtLogin()) << "follows the registration, not the key";
        EXPECT_EQ(preferences.boolValue(keys::launchAtLogin.name), true);
        EXPECT_EQ(notifications.categories().size(), 7u);
        EXPECT_FALSE(state->audioService().isRunning());
        state.reset();
    }
}

TEST_F(AppStateTest, SettingsAreStoredAtOnceAndReadBackAtTheNextLaunch) {
    build();
    state->setCalibrationOffset(101.5);
    EXPECT_EQ(state->audioService().calibrationOffset(), 101.5);
    state->setConservativeDoseMode(true);
    EXPECT_TRUE(state->doseCalculator().conservativeMode());
    EXPECT_EQ(preferences.boolValue(keys::doseConservativeMode.name), true);
    state->setPeakMonitoringEnabled(false);
    state->setAutoStartSessions(false);
    state->setTimeSensitiveNotifications(false);
    state->setSelectedOutputDeviceUID(QStringLiteral("speakers"));
    state->setSelectedDeviceUID(QStringLiteral("usb"));
    EXPECT_EQ(state->deviceManager().selectedDeviceUID(), QStringLiteral("usb"));
    state->setMicLocationNote(QStringLiteral("1 m behind the chair"));

    state.reset();
    build();
    EXPECT_EQ(state->calibrationOffset(), 101.5);
    EXPECT_EQ(state->audioService().calibrationOffset(), 101.5);
    EXPECT_TRUE(state->conservativeDoseMode());
    EXPECT_TRUE(state->doseCalculator().conservativeMode());
    EXPECT_FALSE(state->peakMonitoringEnabled());
    EXPECT_FALSE(state->autoStartSessions());
    EXPECT_FALSE(state->timeSensitiveNotifications());
    EXPECT_EQ(state->selectedOutputDeviceUID(), QStringLiteral("speakers"));
    EXPECT_EQ(state->selectedDeviceUID(), QStringLiteral("usb"));
    EXPECT_EQ(state->deviceManager().selectedDeviceUID(), QStringLiteral("usb"));
    EXPECT_EQ(state->micLocationNote(), QStringLiteral("1 m behind the chair"));
}

TEST_F(AppStateTest, EveryAssignmentIsStoredAndAnnouncedAlsoWhenUnchanged) {
    build();
    // Each setting assigned the value it already has, as a settings view does when it
    // re-applies a choice.
    const std::vector<std::pair<platform::SettingKey, std::function<void()>>> assignments{
        {platform::SettingKey::selectedDeviceUID,
         [&] { state->setSelectedDeviceUID(state->selectedDeviceUID()); }},
        {platform::SettingKey::calibrationOffset,
         [&] { state->setCalibrationOffset(state->calibrationOffset()); }},
        {platform::SettingKey::conservativeDoseMode,
         [&] { state->setConservativeDoseMode(state->conservativeDoseMode()); }},
        {platform::SettingKey::peakMonitoringEnabled,
         [&] { state->setPeakMonitoringEnabled(state->peakMonitoringEnabled()); }},
        {platform::SettingKey::autoStartSessions,
         [&] { state->setAutoStartSessions(state->autoStartSessions()); }},
        {platform::SettingKey::selectedOutputDeviceUID,
         [&] { state->setSelectedOutputDeviceUID(state->selectedOutputDeviceUID()); }},
        {platform::SettingKey::launchAtLogin, [&] { state->setLaunchAtLogin(state->launchAtLogin()); }},
        {platform::SettingKey::timeSensitiveNotifications,
         [&] { state->setTimeSensitiveNotifications(state->timeSensitiveNotifications()); }},
        {platform::SettingKey::micLocationNote, [&] { state->setMicLocationNote(state->micLocationNote()); }},
    };
    for (const auto& [key, assign] : assignments) {
        const QString name = platform::settingName(key);
        preferences.remove(name);
        QSignalSpy announced(state.get(), &AppState::settingChanged);
        QSignalSpy changed(state.get(), &AppState::changed);
        assign();
        EXPECT_TRUE(preferences.contains(name)) << name.toStdString();
        ASSERT_EQ(announced.count(), 1) << name.toStdString();
        EXPECT_EQ(announced.front().front().value<platform::SettingKey>(), key) << name.toStdString();
        EXPECT_GE(changed.count(), 1) << name.toStdString();
    }
    EXPECT_EQ(preferences.contains(keys::doseConservativeMode.name), true) << "stored with its setting";
}

TEST_F(AppStateTest, LaunchRestoresTheInputWithItsChannel) {
    backend.inputs[0].channelCount = 2;
    preferences.setString(keys::selectedDeviceUID.name, QStringLiteral("usb"));
    preferences.setInteger(keys::selectedChannelIndex.name, 1);
    build();
    EXPECT_EQ(state->deviceManager().selectedDeviceUID(), QStringLiteral("usb"));
    EXPECT_EQ(state->deviceManager().selectedChannelIndex(), 1) << "restored, not chosen anew";
    EXPECT_EQ(backend.openCount(), 0) << "no capture restarted at launch";

    state->setSelectedDeviceUID(QStringLiteral("usb"));
    EXPECT_EQ(state->deviceManager().selectedChannelIndex(), 1);
    state->setSelectedDeviceUID(QString());
    EXPECT_EQ(state->deviceManager().selectedChannelIndex(), 0);
    EXPECT_EQ(preferences.integer(keys::selectedChannelIndex.name), 0);
}

TEST_F(AppStateTest, ASessionCarriesTheInputItWasMeasuredOnAndAnotherInputIsToldOnce) {
    build();
    startSession();
    play(1000, 0.1);
    listen(1);
    EXPECT_FALSE(state->calibration().misfitLine()) << "the calibrated input";
    state->setSelectedDeviceUID(QStringLiteral("usb"));
    ASSERT_TRUE(waitUntil([&] { return state->audioService().isRunning() && backend.stream(); }, 1000));
    play(1000, 0.1);
    listen(2);
    const auto notices = [&] {
        return std::count_if(
            notifications.requests().begin(), notifications.requests().end(),
            [](const auto& request) { return request.title == core::CalibrationCenter::kMisfitTitle; });
    };
    EXPECT_EQ(notices(), 1);
    EXPECT_TRUE(state->calibration().misfitLine());
    listen(2);
    EXPECT_EQ(notices(), 1) << "once per cause";

    state->endSession();
    settle();
    const std::optional<models::CalibrationRecord>& stamp =
        state->sessionManager().sessionHistory().front().calibration;
    ASSERT_TRUE(stamp);
    EXPECT_EQ(stamp->deviceUID, QStringLiteral("usb"));
    EXPECT_EQ(stamp->method, models::CalibrationRecord::Method::calibrator);
    EXPECT_EQ(stamp->sampleRate, kSampleRate);
}

// Fitted to the microphone, a 114 dB calibrator is no one's exposure: in seconds it
// would add a tenth of the day's dose and a 115 dBA impulse.
TEST_F(AppStateTest, ACalibratorRunAddsNothingToTheDoseAndSetsTheOffset) {
    build();
    state->setCalibrationOffset(120.0);
    startSession();
    state->calibration().calibrateWithCalibrator(114.0, state->calibrationOffset());
    for (int tick = 0; tick < 50 && state->calibration().run().phase() ==
                                        services::LevelCalibrationService::Phase::listening;
         ++tick) {
        // 22 whole cycles in every buffer: a tone without seams, as a calibrator makes it.
        play(48000.0 / 1024 * 22, std::sqrt(2.0) * 0.5, 5);
        clock.advance(0.1);
        state->splFeedTick();
    }
    EXPECT_EQ(state->calibration().run().phase(), services::LevelCalibrationService::Phase::done)
        << state->calibration().run().message().toStdString();
    EXPECT_NEAR(state->calibrationOffset(), 120.0, 0.05);
    EXPECT_EQ(state->calibration().log().current().method, models::CalibrationRecord::Method::calibrator);
    EXPECT_EQ(state->doseCalculator().dosePercentage(), 0.0);
    EXPECT_EQ(state->doseCalculator().peakDBACount115(), 0);
}

TEST_F(AppStateTest, ReselectingTheSameInputRestartsCapture) {
    build();
    state->startSession(models::Session::kManualSessionName);
    const int opened = backend.openCount();
    state->setSelectedDeviceUID(QString());
    EXPECT_EQ(preferences.string(keys::selectedDeviceUID.name), QString());
    EXPECT_TRUE(
        waitUntil([&] { return backend.openCount() > opened && state->audioService().isRunning(); }, 1000));
}

TEST_F(AppStateTest, ARefusedLoginItemChangeFallsBackToTheRegistration) {
    build();
    loginItem.setFailing(true);
    state->setLaunchAtLogin(true);
    EXPECT_TRUE(state->launchAtLogin());
    settle();
    EXPECT_FALSE(state->launchAtLogin());
    EXPECT_EQ(preferences.boolValue(keys::launchAtLogin.name), false);

    loginItem.setFailing(false);
    state->setLaunchAtLogin(true);
    settle();
    EXPECT_TRUE(state->launchAtLogin());
    EXPECT_EQ(loginItem.status(), LoginItemStatus::enabled);
}

// The changes of one turn make one announcement: every view redraws once for them.
TEST_F(AppStateTest, ServiceChangesAreForwardedOnALaterTurnAsOne) {
    build();
    QSignalSpy spy(state.get(), &AppState::changed);
    state->leqStatistics().reset();
    state->leqStatistics().reset();
    EXPECT_EQ(spy.count(), 0);
    settle();
    EXPECT_EQ(spy.count(), 1);
}

// ---- the feed and sessions ----

TEST_F(AppStateTest, WithCaptureOffTheFeedDoesNothing) {
    build();
    EXPECT_FALSE(state->isFeedRunning()) << "its timer sleeps";
    listen(30.0);
    EXPECT_EQ(state->leqStatistics().tickCount(), 0);
    EXPECT_EQ(state->doseCalculator().accumulatedDose(), 0.0);
}

TEST_F(AppStateTest, TheFeedDrivesDoseStatisticsAndTheSession) {
    build();
    state->startSession(models::Session::kManualSessionName);
    ASSERT_TRUE(state->audioService().isRunning());
    EXPECT_TRUE(state->isFeedRunning());
    playLoud();
    listen(30.0);
    EXPECT_EQ(state->leqStatistics().tickCount(), 300);
    // 91 dBA allows two hours: 30 s is about 0.42 %.
    EXPECT_NEAR(state->doseCalculator().dosePercentage(), 30.0 / 7200.0 * 100.0, 0.05);
    ASSERT_TRUE(state->sessionManager().currentSession());
    EXPECT_NEAR(state->sessionManager().currentSession()->peakSPL, 90.99, 0.1);
    EXPECT_NEAR(state->sessionManager().currentSession()->averageSPL, 90.99, 0.1);

    // A tick without new audio measures nothing, although the meter still shows a level.
    const double doseBefore = state->doseCalculator().accumulatedDose();
    clock.advance(0.1);
    state->splFeedTick();
    EXPECT_EQ(state->leqStatistics().tickCount(), 300);
    EXPECT_EQ(state->doseCalculator().accumulatedDose(), doseBefore);

    // A reading a minute, while capture runs.
    state->readingSampleTick();
    ASSERT_EQ(state->sessionManager().currentSession()->readings.size(), 1);
    EXPECT_NEAR(state->sessionManager().currentSession()->readings.front().dosePercentageAtTime,
                state->doseCalculator().dosePercentage(), 1e-9);

    const double sessionDose = state->doseCalculator().dosePercentage();
    state->endSession();
    settle();
    EXPECT_FALSE(state->audioService().isRunning());
    EXPECT_FALSE(state->isReadingSamplerRunning());
    EXPECT_FALSE(state->isFeedRunning());
    EXPECT_EQ(state->leqStatistics().tickCount(), 0);
    ASSERT_EQ(state->sessionManager().sessionHistory().size(), 1);
    EXPECT_NEAR(state->sessionManager().sessionHistory().front().doseAccumulated, sessionDose, 1e-6);
    ASSERT_EQ(notifications.requests().size(), 1u);
    EXPECT_TRUE(notifications.requests().front().identifier.startsWith("session-recap-"));

    // Ending again, with no session, sums nothing up a second time.
    state->endSession();
    EXPECT_EQ(notifications.requests().size(), 1u);
}

TEST_F(AppStateTest, StartingAgainRenamesTheSessionAndMovesItsMark) {
    build();
    state->startSession(models::Session::kManualSessionName);
    playLoud();
    listen(20.0);
    const double dose = state->doseCalculator().accumulatedDose();
    ASSERT_GT(dose, 0.0);
    workspace.launch(kReaper);
    ASSERT_TRUE(state->sessionManager().currentSession());
    EXPECT_EQ(state->sessionManager().currentSession()->dawName, QStringLiteral("REAPER"));
    EXPECT_EQ(state->doseCalculator().sessionStartDose(), dose);
    EXPECT_EQ(readingTimers(), 1);
    EXPECT_TRUE(state->sessionManager().sessionHistory().isEmpty());
}

TEST_F(AppStateTest, SessionsFollowTheWorkstationsWhileAutoStartIsOn) {
    workspace.setRunning({kAbleton});
    build();
    EXPECT_FALSE(state->sessionManager().currentSession()) << "already running at launch";
    workspace.terminate(kAbleton);
    EXPECT_TRUE(notifications.requests().empty()) << "no session, no recap";

    workspace.launch(kReaper);
    ASSERT_TRUE(state->sessionManager().currentSession());
    EXPECT_EQ(state->sessionManager().currentSession()->dawName, QStringLiteral("REAPER"));
    workspace.launch(kAbleton);
    workspace.terminate(kReaper);
    ASSERT_TRUE(state->sessionManager().currentSession()) << "another workstation still runs";
    EXPECT_EQ(state->sessionManager().currentSession()->dawName, QStringLiteral("REAPER"));
    workspace.terminate(kAbleton);
    EXPECT_FALSE(state->sessionManager().currentSession());
    EXPECT_EQ(state->sessionManager().sessionHistory().size(), 1);

    state->setAutoStartSessions(false);
    workspace.launch(kReaper);
    EXPECT_FALSE(state->sessionManager().currentSession());
    state->startSession(models::Session::kManualSessionName);
    workspace.terminate(kReaper);
    EXPECT_TRUE(state->sessionManager().currentSession()) << "the setting is read when the quit arrives";
}

TEST_F(AppStateTest, PinkNoiseRunsCaptureOnlyOutsideSessions) {
    build();
    ASSERT_TRUE(state->pinkNoisePlayer().start(std::nullopt));
    EXPECT_FALSE(state->audioService().isRunning()) << "the link acts on a later turn";
    settle();
    EXPECT_TRUE(state->audioService().isRunning());
    state->pinkNoisePlayer().stop();
    settle();
    EXPECT_FALSE(state->audioService().isRunning());

    state->pinkNoisePlayer().start(std::nullopt);
    settle();
    state->startSession(models::Session::kManualSessionName);
    EXPECT_FALSE(state->pinkNoisePlayer().isPlaying());
    settle();
    EXPECT_TRUE(state->audioService().isRunning());

    state->pinkNoisePlayer().start(std::nullopt);
    settle();
    state->pinkNoisePlayer().stop();
    settle();
    EXPECT_TRUE(state->audioService().isRunning()) << "the session keeps capture";

    // A workstation quitting while only the noise runs stops capture but posts nothing.
    state->endSession();
    notifications.clear();
    state->pinkNoisePlayer().start(std::nullopt);
    settle();
    state->endSession();
    EXPECT_FALSE(state->audioService().isRunning());
    EXPECT_TRUE(notifications.requests().empty());
}

TEST_F(AppStateTest, NoiseRestartedWithinOneTurnKeepsCaptureRunning) {
    build();
    state->pinkNoisePlayer().start(std::nullopt);
    settle();
    ASSERT_TRUE(state->audioService().isRunning());
    // A response measurement moves the playing noise to its output this way; the
    // capture it measures must not stop underneath it.
    state->pinkNoisePlayer().stop();
    state->pinkNoisePlayer().start(QStringLiteral("monitors"));
    settle();
    EXPECT_TRUE(state->audioService().isRunning());
    EXPECT_EQ(backend.openCount(), 1) << "capture was never stopped and reopened";

    // Started and stopped within one turn: capture never starts.
    state->pinkNoisePlayer().stop();
    settle();
    ASSERT_FALSE(state->audioService().isRunning());
    state->pinkNoisePlayer().start(std::nullopt);
    state->pinkNoisePlayer().stop();
    settle();
    EXPECT_FALSE(state->audioService().isRunning());
    EXPECT_EQ(backend.openCount(), 1);
}

// When the run starts and ends is the alert centre's test; here, that the feed drives it.
TEST_F(AppStateTest, LoudListeningForTenMinutesIsAnnounced) {
    build();
    state->startSession(models::Session::kManualSessionName);
    playLoud();
    state->setPeakMonitoringEnabled(false);
    listen(600.0, 1.0);
    EXPECT_FALSE(posted("sustained-spl"));
    listen(1.0, 1.0);
    EXPECT_TRUE(posted("sustained-spl"));
}

// The chosen input goes away under a running session. Back within 30 s, the same
// session goes on and keeps the gap as unmeasured time, which adds no dose. Gone for
// 30 s, the session ends and is kept, with its recap and one warning, and the input's
// return starts a new session for the workstation that still runs.
TEST_F(AppStateTest, ALostInputIsWaitedForThenTheSessionEndsWithOneWarning) {
    preferences.setString(keys::selectedDeviceUID.name, QStringLiteral("usb"));
    backend.inputs.append(input(QStringLiteral("builtin")));
    build();
    workspace.launch(kReaper);
    playLoud();
    listen(20.0);
    const models::Session first = *state->sessionManager().currentSession();
    const auto loseInput = [&] {
        backend.inputs.removeFirst();
        backend.stream()->notifyConfigurationChanged();
        ASSERT_TRUE(waitUntil([&] { return state->audioService().isRetrying(); }, 1500));
    };
    const auto bringBack = [&] {
        backend.inputs.prepend(input(QStringLiteral("usb")));
        state->deviceManager().refreshDevices();
    };
    const auto warnings = [&] {
        const auto ids = identifiers();
        return std::count(ids.begin(), ids.end(), QStringLiteral("device-disconnected"));
    };

    double dose = state->doseCalculator().accumulatedDose();
    loseInput();
    listen(20.0);
    bringBack();
    // The try 22 s after the loss finds it; 8 s are measured after that.
    listen(10.0);
    ASSERT_TRUE(state->sessionManager().currentSession());
    EXPECT_EQ(state->sessionManager().currentSession()->id, first.id);
    EXPECT_NEAR(state->sessionManager().currentSession()->unmeasuredSeconds, 22.0, 0.05);
    EXPECT_NEAR(state->doseCalculator().accumulatedDose() - dose, 8.0 / 7200.0, 0.2 / 7200.0);
    EXPECT_EQ(warnings(), 0);

    dose = state->doseCalculator().accumulatedDose();
    loseInput();
    listen(40.0);
    EXPECT_FALSE(state->sessionManager().currentSession());
    ASSERT_EQ(reread()->sessionHistory().size(), 1);
    const models::Session stored = reread()->sessionHistory().front();
    EXPECT_EQ(stored.id, first.id);
    EXPECT_NEAR(stored.unmeasuredSeconds, 22.0 + 30.0, 0.05);
    EXPECT_EQ(state->doseCalculator().accumulatedDose(), dose);
    EXPECT_NEAR(stored.doseAccumulated, dose * 100.0, 1e-9) << "the session began with the day";
    const auto ids = identifiers();
    ASSERT_GE(ids.size(), 2u);
    EXPECT_TRUE(ids[ids.size() - 2].startsWith("session-recap-"));
    EXPECT_EQ(ids.back(), QStringLiteral("device-disconnected"));

    bringBack();
    listen(10.0);
    ASSERT_TRUE(state->sessionManager().currentSession());
    EXPECT_NE(state->sessionManager().currentSession()->id, first.id);
    EXPECT_EQ(state->sessionManager().currentSession()->dawName, first.dawName);
    EXPECT_EQ(state->sessionManager().currentSession()->unmeasuredSeconds, 0.0);
    EXPECT_EQ(warnings(), 1);
}

TEST_F(AppStateTest, QuittingSavesTheRunningSessionWithoutARecap) {
    build();
    workspace.launch(kReaper);
    playLoud();
    listen(30.0);
    state->prepareForQuit();
    EXPECT_FALSE(state->audioService().isRunning());
    EXPECT_TRUE(notifications.requests().empty());

    const auto stored = reread();
    ASSERT_EQ(stored->sessionHistory().size(), 1);
    EXPECT_EQ(stored->sessionHistory().front().dawName, QStringLiteral("REAPER"));
    EXPECT_GT(stored->sessionHistory().front().doseAccumulated, 0.3);
}

// ---- a run that is killed ----

// Killed (or crashed, or the power went) 72 s into a session: the state is destroyed
// without ending it, as a kill does, and the next launch finds the checkpoint.
class AppStateKilledTest : public AppStateTest {
protected:
    // The session is started by the workstation's launch, or by hand under `name`.
    models::Session killDuringSession(const std::optional<QString>& name = std::nullopt) {
        build();
        workspace.launch(kReaper);
        if (name) {
            state->startSession(*name);
        }
        playLoud();
        listen(60.0);
        state->readingSampleTick();
        const models::Session atCheckpoint = *state->sessionManager().currentSession();
        listen(12.0);
        state.reset();
        clock.advance(5.0);
        return atCheckpoint;
    }
};

// What the resumed session keeps is the checkpoint's own test, and a real kill is the
// headless program's; here, that measuring goes on with it.
TEST_F(AppStateKilledTest, TheSessionGoesOnWhileItsWorkstationStillRuns) {
    const models::Session before = killDuringSession();
    build();
    ASSERT_TRUE(state->sessionManager().currentSession()) << "the session goes on";
    EXPECT_EQ(state->sessionManager().currentSession()->id, before.id);
    EXPECT_TRUE(state->audioService().isRunning()) << "and it is measured";
    EXPECT_TRUE(state->isReadingSamplerRunning());
    EXPECT_GT(state->doseCalculator().accumulatedDose() - state->doseCalculator().sessionStartDose(), 0.0);
}

struct KilledCase {
    const char* name;
    // Started by hand under this name, or by the workstation.
    std::optional<QString> startedAs;
    bool autoStart;
    bool workstationQuitMeanwhile;
};

void PrintTo(const KilledCase& killed, std::ostream* os) {
    *os << killed.name;
}

class AppStateKilledAndClosedTest : public AppStateKilledTest,
                                    public ::testing::WithParamInterface<KilledCase> {};

TEST_P(AppStateKilledAndClosedTest, TheSessionIsStoredAsAtItsLastCheckpoint) {
    const KilledCase& killed = GetParam();
    const models::Session before = killDuringSession(killed.startedAs);
    preferences.setBool(keys::autoStartSessions.name, killed.autoStart);
    if (killed.workstationQuitMeanwhile) {
        workspace.setRunning({});
    }
    build();
    EXPECT_FALSE(state->sessionManager().currentSession());
    EXPECT_FALSE(state->audioService().isRunning());
    ASSERT_EQ(state->sessionManager().sessionHistory().size(), 1);
    const models::Session& stored = state->sessionManager().sessionHistory().front();
    EXPECT_EQ(stored.id, before.id);
    EXPECT_EQ(stored.endDate, before.startDate.addSecs(60)) << "12 s of 72 are lost, no more";
    EXPECT_GT(stored.doseAccumulated, 0.0);
    EXPECT_EQ(reread()->sessionHistory().size(), 1);
    // The day's dose was stored as it grew, the 12 s after the checkpoint too.
    EXPECT_GE(state->doseCalculator().accumulatedDose() * 100.0, stored.doseAccumulated);
}

INSTANTIATE_TEST_SUITE_P(Cases, AppStateKilledAndClosedTest,
                         ::testing::Values(KilledCase{"workstation_quit_meanwhile", std::nullopt, true, true},
                                           KilledCase{"sessions_do_not_follow_workstations",
                                                      QStringLiteral("REAPER"), false, false},
                                           KilledCase{"session_started_by_hand",
                                                      models::Session::kManualSessionName, true, false}),
                         [](const ::testing::TestParamInfo<KilledCase>& test) {
                             return std::string(test.param.name);
                         });

// ---- the day boundary ----

class AppStateDayTest : public AppStateTest {
protected:
    AppStateDayTest() { clock.set(QDateTime(QDate(2025, 3, 14), QTime(23, 59, 0), QTimeZone::utc())); }
};

TEST_F(AppStateDayTest, TheMidnightTimerWaitsForTheNextLocalMidnight) {
    clock.setTimeZone(QTimeZone(3600));
    clock.set(QDateTime(QDate(2025, 3, 14), QTime(21, 30), QTimeZone::utc()));
    build();
    EXPECT_EQ(state->nextDailyReset(), QDateTime(QDate(2025, 3, 15), QTime(0, 0), QTimeZone(3600)));

    state->startSession(models::Session::kManualSessionName);
    playLoud();
    listen(10.0);
    const double dose = state->doseCalculator().accumulatedDose();
    state->dayCheckTick();
    EXPECT_EQ(state->doseCalculator().accumulatedDose(), dose) << "a check on the same day changes nothing";
    clock.set(QDateTime(QDate(2025, 3, 15), QTime(0, 0), QTimeZone(3600)));
    state->dayCheckTick();
    EXPECT_EQ(state->doseCalculator().accumulatedDose(), 0.0);
    EXPECT_EQ(state->nextDailyReset(), QDateTime(QDate(2025, 3, 16), QTime(0, 0), QTimeZone(3600)));
}

TEST_F(AppStateDayTest, ASessionAcrossMidnightKeepsOnlyTheNewDaysDose) {
    build();
    state->startSession(models::Session::kManualSessionName);
    playLoud();
    listen(50.0);
    ASSERT_GT(state->doseCalculator().accumulatedDose(), 0.0);
    // The timer is late (or was never run): the feed notices the new day by itself.
    listen(20.0);
    ASSERT_TRUE(state->sessionManager().currentSession()) << "midnight does not end a session";
    const double newDay = state->doseCalculator().accumulatedDose();
    EXPECT_NEAR(newDay, 10.0 / 7200.0, 0.2 / 7200.0) << "only the ten seconds after midnight";
    state->endSession();
    EXPECT_NEAR(state->sessionManager().sessionHistory().front().doseAccumulated, newDay * 100.0, 1e-9);
}

TEST_F(AppStateDayTest, WakingAfterMidnightClearsYesterdaysDoseBeforeMeasuring) {
    build();
    state->startSession(models::Session::kManualSessionName);
    playLoud();
    listen(30.0);
    ASSERT_GT(state->doseCalculator().accumulatedDose(), 0.0);
    clock.advance(3 * 3600.0); // suspended: no timer ran
    listen(0.1);
    EXPECT_EQ(state->doseCalculator().accumulatedDose(), 0.0);
    EXPECT_EQ(preferences.doubleValue(keys::accumulatedDose.name).value_or(0.0), 0.0);
    listen(10.0);
    EXPECT_NEAR(state->doseCalculator().accumulatedDose(), 10.0 / 7200.0, 0.2 / 7200.0);
}

// A session whose save failed is still in memory at midnight: the day's reload must not
// replace it with the older file.
TEST_F(AppStateDayTest, MidnightKeepsASessionWhoseSaveFailed) {
    build();
    state->startSession(QStringLiteral("REAPER"));
    playLoud();
    listen(30.0);
    files.writeError = QStringLiteral("Permission denied");
    state->endSession();
    ASSERT_EQ(state->sessionManager().sessionHistory().size(), 1);
    clock.advance(60.0);
    state->dayCheckTick();
    EXPECT_EQ(state->sessionManager().sessionHistory().size(), 1) << "the unsaved session survives midnight";

    files.writeError.reset();
    clock.advance(24 * 3600.0);
    state->dayCheckTick();
    EXPECT_EQ(reread()->sessionHistory().size(), 1) << "saved at the first chance";
}

// ---- history commands ----

class AppStateHistoryTest : public AppStateTest {
protected:
    // Yesterday one session of 5 %, today two of 10 % and 20 %.
    void SetUp() override {
        services::SessionManager sessions(clock, files, kDataFolder);
        clock.set(QDateTime(QDate(2025, 3, 13), QTime(10, 0), QTimeZone::utc()));
        record(sessions, "Yesterday", 0.05);
        clock.set(QDateTime(QDate(2025, 3, 14), QTime(9, 0), QTimeZone::utc()));
        record(sessions, "Morning", 0.10);
        record(sessions, "Noon", 0.20);
        build();
    }

    static void record(services::SessionManager& sessions, const char* name, double dose) {
        sessions.startSession(QString::fromLatin1(name));
        ASSERT_FALSE(sessions.endSession(dose, 0.0));
    }
};

TEST_F(AppStateHistoryTest, LaunchRaisesTheDoseToTodaysSessions) {
    EXPECT_NEAR(state->doseCalculator().accumulatedDose(), 0.30, 1e-9);
}

TEST_F(AppStateHistoryTest, ResetDoseDropsTodaysSessionsOnly) {
    state->resetDose();
    settle();
    EXPECT_EQ(state->doseCalculator().accumulatedDose(), 0.0);
    const auto stored = reread();
    ASSERT_EQ(stored->sessionHistory().size(), 1);
    EXPECT_EQ(stored->sessionHistory().front().dawName, QStringLiteral("Yesterday"));
}

TEST_F(AppStateHistoryTest, DeletingASessionTakesAwayOnlyItsShare) {
    const auto named = [&](const char* name) {
        const auto& history = state->sessionManager().sessionHistory();
        const auto found =
            std::find_if(history.cbegin(), history.cend(), [&](const models::Session& session) {
                return session.dawName == QLatin1String(name);
            });
        return found != history.cend() ? *found : models::Session{};
    };
    state->deleteSession(named("Yesterday"));
    EXPECT_NEAR(state->doseCalculator().accumulatedDose(), 0.30, 1e-9);
    state->deleteSession(named("Noon"));
    EXPECT_NEAR(state->doseCalculator().accumulatedDose(), 0.10, 1e-9);

    // While a session runs, deleting another leaves the running one its whole share.
    state->startSession(QStringLiteral("REAPER"));
    playLoud();
    listen(60.0);
    const auto& dose = state->doseCalculator();
    const double share = dose.accumulatedDose() - dose.sessionStartDose();
    ASSERT_GT(share, 0.005);
    state->deleteSession(named("Morning"));
    EXPECT_NEAR(dose.accumulatedDose(), share, 1e-12);
    EXPECT_NEAR(dose.accumulatedDose() - dose.sessionStartDose(), share, 1e-12);
    EXPECT_EQ(reread()->sessionHistory().size(), 0) << "the deletions are saved";
}

// ---- console lines ----

// The services say what went wrong; the application writes it to standard error in the
// program's words, one line each, and carries on.
class AppStateConsoleTest : public AppStateTest {
protected:
    template <typename Action> QStringList consoleLinesOf(Action action) {
        ::testing::internal::CaptureStderr();
        action();
        settle();
        return QString::fromStdString(::testing::internal::GetCapturedStderr())
            .split('\n', Qt::SkipEmptyParts);
    }
};

// What the sentences say is each service's own; here, that every failure comes out as
// one line carrying its cause, and that the program carries on.
TEST_F(AppStateConsoleTest, EachFailureIsOneLineWithItsCause) {
    files.put(historyPath(), "not json at all");
    files.folderError = QStringLiteral("Permission denied");
    const QStringList atLaunch = consoleLinesOf([&] { build(); });
    ASSERT_EQ(atLaunch.size(), 2) << atLaunch.join('|').toStdString();
    EXPECT_TRUE(atLaunch[0].contains(kDataFolder + ": Permission denied")) << atLaunch[0].toStdString();
    EXPECT_TRUE(atLaunch[1].contains(QStringLiteral("not valid JSON"))) << atLaunch[1].toStdString();
    EXPECT_TRUE(state->sessionManager().sessionHistory().isEmpty());
    files.folderError.reset();

    backend.startError = QStringLiteral("device busy");
    backend.playbackStartError = QStringLiteral("device busy");
    // A capture that cannot start also says, once, that it keeps trying.
    struct Failure {
        std::function<void()> action;
        QString cause;
        QStringList thenSaid;
    };
    const std::vector<Failure> failures{
        {[&] { state->startSession(QStringLiteral("REAPER")); },
         "device busy",
         {"[Kavro] No usable audio input — retrying"}},
        {[&] { state->pinkNoisePlayer().start(std::nullopt); }, "device busy", {}},
        {[&] {
             files.writeError = QStringLiteral("No space left on device");
             state->endSession();
         },
         historyPath() + ": No space left on device",
         {}},
        {[&] { state->sessionManager().exportCSV(state->sessionManager().sessionHistory(), "x.csv"); },
         "no save dialog is available",
         {}},
    };
    for (const auto& [action, cause, thenSaid] : failures) {
        const QStringList lines = consoleLinesOf(action);
        ASSERT_EQ(lines.size(), 1 + thenSaid.size())
            << cause.toStdString() << ": " << lines.join('|').toStdString();
        EXPECT_TRUE(lines[0].endsWith(cause)) << lines[0].toStdString();
        EXPECT_EQ(lines.mid(1), thenSaid);
    }
    EXPECT_EQ(state->sessionManager().sessionHistory().size(), 1) << "the session stays in memory";

    files.writeError.reset();
    files.readError = QStringLiteral("Input/output error");
    const QStringList atMidnight = consoleLinesOf([&] {
        state->resetDose();
        clock.advance(24 * 3600.0);
        state->dayCheckTick();
    });
    ASSERT_EQ(atMidnight.size(), 1) << atMidnight.join('|').toStdString();
    EXPECT_TRUE(atMidnight[0].contains(historyPath())) << atMidnight[0].toStdString();
}

// A stored offset no microphone can have (damaged, or typed into the file by hand) would
// make every level hundreds of decibels: the default is used, and the console says so.
TEST_F(AppStateConsoleTest, AStoredOffsetOutsideWhatAMicrophoneCanHaveFallsBackToTheDefault) {
    const double fallback = platform::Settings::defaultOf(keys::calibrationOffset);
    for (const auto& [stored, plausible] :
         {std::pair{1e308, false}, {-3.5, false}, {200.25, false}, {200.0, true}, {0.5, true}}) {
        state.reset();
        preferences.setDouble(keys::calibrationOffset.name, stored);
        const QStringList lines = consoleLinesOf([&] { build(); });
        const double used = plausible ? stored : fallback;
        EXPECT_EQ(lines.size(), used == stored ? 0 : 1) << stored;
        if (!lines.isEmpty()) {
            EXPECT_TRUE(lines[0].contains(QString::number(stored))) << lines[0].toStdString();
        }
        EXPECT_EQ(state->calibrationOffset(), used);
        EXPECT_EQ(state->audioService().calibrationOffset(), used);
    }
}

// Automatic measures the headphones on the default output into the one day's dose and
// the running session, and falls back to the microphone when they go away, keeping both.
TEST_F(AppStateTest, AutomaticMeasuresHeadphonesAndFallsBackToTheMicrophone) {
    backend.inputs = {device("mic", "studio_mic")};
    backend.inputs[0].isDefault = true;
    platform::Settings(preferences).setValue(keys::measureFrom, QStringLiteral("automatic"));
    platform::testing::ScriptedOutputTap tap;
    platform::OutputDescription phones;
    phones.name = QStringLiteral("builtin");
    phones.description = QStringLiteral("Built-in Audio");
    phones.activePortDescription = QStringLiteral("Headphones");
    phones.channelCount = 2;
    phones.sampleRate = kSampleRate;
    phones.isDefault = true;
    phones.headphones = true;
    tap.outputList = {phones};
    state.reset();
    auto parts = AppState::Platform{backend,   preferences, clock, notifications,
                                    workspace, loginItem,   files, kDataFolder};
    parts.outputTap = &tap;
    state = std::make_unique<AppState>(parts);
    startSession();
    ASSERT_TRUE(state->isMeasuringOutput());
    EXPECT_EQ(state->measuredSourceText(), QStringLiteral("Headphones · Built-in Audio, estimated level"));
    ASSERT_NE(tap.stream(), nullptr);
    const auto stereo =
        testing::sineBuffer(1000, 0.5, kSampleRate, 2 * services::AudioMeasurementService::kFramesPerBuffer);
    for (int tick = 0; tick < 50; ++tick) {
        tap.stream()->deliver({stereo});
        QCoreApplication::sendPostedEvents();
        clock.advance(0.1);
        state->splFeedTick();
    }
    const double dose = state->doseCalculator().accumulatedDose();
    EXPECT_GT(dose, 0.0);

    // The headphones are unplugged: the port becomes the speakers.
    tap.outputList[0].headphones = false;
    tap.notifyChanged();
    settle();
    EXPECT_FALSE(state->isMeasuringOutput());
    EXPECT_TRUE(waitUntil([&] { return backend.stream() != nullptr; }, 2000)) << "the microphone is measured";
    EXPECT_EQ(state->measuredSourceText(), QStringLiteral("Microphone · studio_mic"));
    EXPECT_EQ(state->doseCalculator().accumulatedDose(), dose);
    state->endSession();
    ASSERT_FALSE(state->sessionManager().sessionHistory().isEmpty());
    const auto& output = state->sessionManager().sessionHistory().front().output;
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(output->profile, QStringLiteral("Built-in Audio · Headphones"));
    EXPECT_TRUE(output->estimated);
    state.reset(); // before the tap it measured
}

} // namespace
} // namespace kavro
