// SPDX-License-Identifier: GPL-3.0-or-later
// The whole application against real parts of the desktop: `kavro --headless` as a
// process of its own following workstation-named processes, and the test notification
// server.
#include "core/AppState.h"
#include "models/NumberText.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/file/QtFileStore.h"
#include "platform/linux/DBusNotificationCenter.h"
#include "platform/qt/SystemClock.h"
#include "platform/testing/FakeLoginItemService.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "services/AudioMeasurementService.h"
#include "services/SessionManager.h"
#include "support/Dunst.h"
#include "support/FakeWorkstations.h"
#include "support/TestSignals.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <utility>

#include <sys/stat.h>

namespace kavro {
namespace {

using core::AppState;
using testing::FakeWorkstations;
using testing::waitUntil;

// The completed sessions in a data folder, as the program reads them back.
QList<models::Session> storedSessions(const QString& dataFolder) {
    platform::SystemClock clock;
    platform::QtFileStore files;
    return services::SessionManager(clock, files, dataFolder).sessionHistory();
}

class WorkstationFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FakeWorkstations::available()) {
            GTEST_SKIP() << "no program to copy";
        }
        ASSERT_TRUE(m_workstations.lock());
        ASSERT_TRUE(m_home.isValid());
    }

    QString dataFolder() const { return m_home.filePath(QStringLiteral("data/Kavro")); }

    FakeWorkstations m_workstations;
    QTemporaryDir m_home;
};

// ---- kavro --headless ----

class HeadlessAppTest : public WorkstationFixture {
protected:
    void SetUp() override {
        WorkstationFixture::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        if (!QFile::exists(program())) {
            GTEST_SKIP() << "kavro is not built";
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        m_app.setProcessEnvironment(environment);
        QObject::connect(&m_app, &QProcess::readyReadStandardOutput, [this] {
            while (m_app.canReadLine()) {
                m_lines.append(QString::fromUtf8(m_app.readLine()).trimmed());
            }
        });
        startApp();
    }

    // Starts the program (again) and waits until it is up; the lines of an earlier run
    // are forgotten.
    void startApp() {
        m_lines.clear();
        m_app.start(program(), {QStringLiteral("--headless")});
        ASSERT_TRUE(m_app.waitForStarted(5000));
        ASSERT_TRUE(waitForLine(QStringLiteral("Kavro started"), 10000)) << output();
    }

    void TearDown() override {
        if (m_app.state() != QProcess::NotRunning) {
            m_app.kill();
            m_app.waitForFinished(5000);
        }
    }

    static QString program() { return QStringLiteral(KAVRO_BINARY_DIR "/src/app/kavro"); }

    bool waitForLine(const QString& start, int milliseconds = 2500) {
        return waitUntil([&] { return hasLine(start); }, milliseconds);
    }
    bool hasLine(const QString& start) const {
        return std::any_of(m_lines.begin(), m_lines.end(),
                           [&](const QString& line) { return line.startsWith(start); });
    }
    std::string output() const { return m_lines.join('\n').toStdString(); }

    QProcess m_app;
    QStringList m_lines;
};

class HeadlessQuitTest : public HeadlessAppTest, public ::testing::WithParamInterface<int> {};

TEST_P(HeadlessQuitTest, ASignalEndsTheRunningSessionAndKeepsIt) {
    m_workstations.startAs(QStringLiteral("reaper"));
    ASSERT_TRUE(waitForLine(QStringLiteral("Session started: REAPER"))) << output();
    ASSERT_EQ(::kill(static_cast<pid_t>(m_app.processId()), GetParam()), 0);
    ASSERT_TRUE(m_app.waitForFinished(10000));
    m_app.waitForReadyRead(100);
    EXPECT_EQ(m_app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_app.exitCode(), 0);
    EXPECT_TRUE(hasLine(QStringLiteral("Session ended: REAPER"))) << output();
    EXPECT_FALSE(hasLine(QStringLiteral("Notification posted: session-recap"))) << output();

    const auto stored = storedSessions(dataFolder());
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.front().dawName, QStringLiteral("REAPER"));
    EXPECT_TRUE(stored.front().isCompleted());
}

INSTANTIATE_TEST_SUITE_P(TerminationSignals, HeadlessQuitTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto& testInfo) {
                             return testInfo.param == SIGTERM ? "SIGTERM" : "SIGINT";
                         });

// Killed with SIGKILL 2 s into a session: nothing runs at the end, only the checkpoint
// taken at the session's start is there.
class HeadlessKilledTest : public HeadlessAppTest {
protected:
    QProcess& startSessionAndKill() {
        QProcess& reaper = m_workstations.startAs(QStringLiteral("reaper"));
        EXPECT_TRUE(waitForLine(QStringLiteral("Session started: REAPER"))) << output();
        QTest::qWait(2000);
        m_app.kill();
        EXPECT_TRUE(m_app.waitForFinished(5000));
        EXPECT_TRUE(storedSessions(dataFolder()).isEmpty());
        return reaper;
    }
};

TEST_F(HeadlessKilledTest, TheSessionGoesOnWhenTheWorkstationStillRuns) {
    const QDateTime beforeStart = QDateTime::currentDateTimeUtc().addSecs(-1);
    QProcess& reaper = startSessionAndKill();
    startApp();
    ASSERT_TRUE(waitForLine(QStringLiteral("Session started: REAPER"))) << output();
    FakeWorkstations::stop(reaper);
    ASSERT_TRUE(waitForLine(QStringLiteral("Session ended: REAPER"))) << output();
    const auto stored = storedSessions(dataFolder());
    ASSERT_EQ(stored.size(), 1);
    EXPECT_LE(stored.front().startDate, beforeStart.addSecs(2))
        << "the session that was killed, not a new one";
    EXPECT_GE(stored.front().startDate, beforeStart);
}

TEST_F(HeadlessKilledTest, TheSessionIsStoredWhenTheWorkstationQuitMeanwhile) {
    QProcess& reaper = startSessionAndKill();
    FakeWorkstations::stop(reaper);
    startApp();
    ASSERT_TRUE(waitForLine(QStringLiteral("Session ended: REAPER"))) << output();
    const auto stored = storedSessions(dataFolder());
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(stored.front().dawName, QStringLiteral("REAPER"));
    EXPECT_TRUE(stored.front().isCompleted());
}

// What the program keeps is its user's alone: made so, and made so again at launch when
// something (an earlier version, a copy) left it open to others.
TEST_F(HeadlessAppTest, TheHistoryAndThePreferencesAreTheUsersAlone) {
    const QString configFolder = m_home.filePath(QStringLiteral("config/Kavro"));
    const QString preferences = configFolder + QStringLiteral("/Kavro.conf");
    const QString history = dataFolder() + QStringLiteral("/sessions.json");
    const auto mode = [](const QString& path) {
        struct stat status {};
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 0777) : -1;
    };
    QProcess& reaper = m_workstations.startAs(QStringLiteral("reaper"));
    ASSERT_TRUE(waitForLine(QStringLiteral("Session started: REAPER"))) << output();
    FakeWorkstations::stop(reaper);
    ASSERT_TRUE(waitForLine(QStringLiteral("Session ended: REAPER"))) << output();
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(preferences); }, 5000));
    EXPECT_EQ(mode(dataFolder()), 0700);
    EXPECT_EQ(mode(history), 0600);
    EXPECT_EQ(mode(configFolder), 0700);
    EXPECT_EQ(mode(preferences), 0600);

    ASSERT_EQ(::kill(static_cast<pid_t>(m_app.processId()), SIGTERM), 0);
    ASSERT_TRUE(m_app.waitForFinished(10000));
    for (const auto& [path, open] : {std::pair{dataFolder(), 0755}, std::pair{history, 0644},
                                     std::pair{configFolder, 0755}, std::pair{preferences, 0644}}) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(open)), 0);
    }
    startApp();
    EXPECT_EQ(mode(dataFolder()), 0700);
    EXPECT_EQ(mode(history), 0600);
    EXPECT_EQ(mode(configFolder), 0700);
    EXPECT_EQ(mode(preferences), 0600);
}

// ---- notifications through the test server ----

class AppStateNotificationTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString missing =
            testing::claimTestDunst(platform::DBusNotificationCenter::kServiceName, m_dunstDir, m_lock);
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
        ASSERT_TRUE(m_lock);
        ASSERT_TRUE(m_folder.isValid());
        platform::AudioDeviceDescription microphone;
        microphone.uid = QStringLiteral("mic");
        microphone.channelCount = 1;
        microphone.sampleRate = 48000;
        m_backend.inputs = {microphone};
        m_center = std::make_unique<platform::DBusNotificationCenter>();
        m_state = std::make_unique<AppState>(AppState::Platform{m_backend, m_preferences, m_clock, *m_center,
                                                                m_workspace, m_loginItem, m_files,
                                                                m_folder.path()});
    }

    void TearDown() override {
        m_state.reset();
        if (m_lock) {
            testing::dunstctl({QStringLiteral("close-all")});
        }
    }

    void settle() {
        QCoreApplication::sendPostedEvents();
        ASSERT_TRUE(waitUntil([this] { return m_center->pendingRequestCount() == 0; }));
    }

    QDir m_dunstDir;
    std::unique_ptr<QLockFile> m_lock;
    QTemporaryDir m_folder;
    platform::QtFileStore m_files;
    platform::testing::ScriptedAudioBackend m_backend;
    platform::MemoryPreferencesStore m_preferences;
    platform::testing::ManualClock m_clock;
    platform::testing::ScriptedWorkspace m_workspace;
    platform::testing::FakeLoginItemService m_loginItem;
    std::unique_ptr<platform::DBusNotificationCenter> m_center;
    std::unique_ptr<AppState> m_state;
};

TEST_F(AppStateNotificationTest, ALoudSessionIsAnnouncedSnoozedAndSummedUp) {
    // About 127 dBA: the caution band is less than a second away.
    m_state->setPeakMonitoringEnabled(false);
    m_state->setCalibrationOffset(130.0);
    m_workspace.launch(QStringLiteral("com.cockos.reaper"));
    ASSERT_NE(m_backend.stream(), nullptr);
    const auto loud =
        testing::sineBuffer(1000.0, 1.0, 48000.0, services::AudioMeasurementService::kFramesPerBuffer);
    m_backend.stream()->deliver(std::vector<std::vector<float>>(30, loud));
    QCoreApplication::sendPostedEvents();
    ASSERT_GT(m_state->audioService().currentSPL(), 125.0);
    // Each tick measures the audio captured since the one before.
    for (int i = 0; i < 10; ++i) {
        m_backend.stream()->deliver({loud});
        QCoreApplication::sendPostedEvents();
        m_clock.advance(0.1);
        m_state->splFeedTick();
    }
    settle();
    ASSERT_TRUE(waitUntil([] { return testing::displayedCount() == 1; })) << testing::displayedCount();

    // The snooze button reaches the application's alerts.
    ASSERT_TRUE(testing::chooseFromDunstMenu(m_dunstDir, "SNOOZE_30"));
    testing::dunstctl({QStringLiteral("context")});
    ASSERT_TRUE(waitUntil([this] { return m_state->alerts().snoozedUntil().has_value(); }));

    m_workspace.terminate(QStringLiteral("com.cockos.reaper"));
    settle();
    ASSERT_TRUE(waitUntil([] { return testing::displayedCount() >= 1; }));
    const auto history = testing::closeAllAndReadHistory();
    const auto caution = testing::newest(history, QStringLiteral("⚠️ Hearing Dose: Caution (40%)"));
    ASSERT_TRUE(caution);
    EXPECT_EQ(caution->category, "SESSION_ALERT");
    const auto recap = testing::newest(history, QStringLiteral("Session complete"));
    ASSERT_TRUE(recap) << "the snooze leaves the recap alone";
    const QString sessionDose =
        models::fixedText(m_state->sessionManager().sessionHistory().front().doseAccumulated, 1);
    EXPECT_TRUE(recap->body.startsWith("This session used " + sessionDose + "% of your daily dose."))
        << recap->body.toStdString();
}

} // namespace
} // namespace kavro
