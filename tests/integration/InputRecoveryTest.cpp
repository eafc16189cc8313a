// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop program when its input goes away, on a PulseAudio server of this test's
// own (it is killed and started again, which a server shared with other tests could
// not be): `kavro --headless` measures a sine source for a workstation-named process
// while the test unloads the source, kills the server and keeps the input away.
#include "models/Session.h"
#include "platform/file/QtFileStore.h"
#include "platform/qt/SystemClock.h"
#include "services/SessionManager.h"
#include "support/FakeWorkstations.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <optional>

namespace kavro {
namespace {

using testing::FakeWorkstations;
using testing::waitUntil;

// A PulseAudio server in a runtime folder of its own, with a 1 kHz sine source as
// the default input.
class PrivatePulseAudio {
public:
    PrivatePulseAudio() {
        m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        m_environment.insert(QStringLiteral("HOME"), m_runtime.path());
        m_environment.insert(QStringLiteral("PULSE_SERVER"), serverAddress());
        // Off the session bus, whose PulseAudio name the shared server holds.
        m_environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    }
    ~PrivatePulseAudio() { run(QStringLiteral("pactl"), {QStringLiteral("exit")}); }

    QString serverAddress() const { return QStringLiteral("unix:") + m_runtime.filePath("pulse/native"); }

    // Started the way scripts/with-test-servers starts the shared one.
    bool start() {
        run(QStringLiteral("pulseaudio"),
            {"--daemonize=yes", "--exit-idle-time=-1", "-n", "--load=module-native-protocol-unix",
             "--log-target=file:" + m_runtime.filePath("pulse.log")});
        return waitUntil([&] { return run(QStringLiteral("pactl"), {QStringLiteral("info")}).has_value(); },
                         5000) &&
               loadSource();
    }
    bool loadSource() {
        const auto module = run(QStringLiteral("pactl"), {"load-module", "module-sine-source",
                                                          "source_name=studio_mic", "frequency=1000"});
        m_sourceModule = module.value_or(QString());
        return module.has_value();
    }
    void unloadSource() { run(QStringLiteral("pactl"), {QStringLiteral("unload-module"), m_sourceModule}); }
    void kill() {
        QFile pidFile(m_runtime.filePath("pulse/pid"));
        ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
        ::kill(static_cast<pid_t>(pidFile.readAll().trimmed().toLongLong()), SIGKILL);
        // Until something reaps it, the killed server looks alive to a new one.
        pidFile.remove();
    }

private:
    // The output of a command that succeeded.
    std::optional<QString> run(const QString& program, const QStringList& arguments) const {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.start(program, arguments);
        if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            return std::nullopt;
        }
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }

    QTemporaryDir m_runtime;
    QProcessEnvironment m_environment = QProcessEnvironment::systemEnvironment();
    QString m_sourceModule;
};

class InputRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() ||
            !QFile::exists(program()) || !FakeWorkstations::available()) {
            GTEST_SKIP() << "needs pulseaudio, a built kavro and a program to copy";
        }
        ASSERT_TRUE(m_workstations.lock());
        ASSERT_TRUE(m_pulse.start());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PULSE_SERVER"), m_pulse.serverAddress());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        m_app.setProcessEnvironment(environment);
        m_app.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_app, &QProcess::readyReadStandardOutput, [this] {
            while (m_app.canReadLine()) {
                m_lines.append(QString::fromUtf8(m_app.readLine()).trimmed());
            }
        });
        m_app.start(program(), {QStringLiteral("--headless")});
        ASSERT_TRUE(waitForLines(QStringLiteral("Kavro started"), 1, 10000)) << output();
    }

    void TearDown() override {
        if (m_app.state() != QProcess::NotRunning) {
            m_app.kill();
            m_app.waitForFinished(5000);
        }
    }

    static QString program() { return QStringLiteral(KAVRO_BINARY_DIR "/src/app/kavro"); }

    qsizetype count(const QString& start) const {
        return std::count_if(m_lines.begin(), m_lines.end(),
                             [&](const QString& line) { return line.startsWith(start); });
    }
    bool waitForLines(const QString& start, qsizetype lines, int milliseconds) {
        return waitUntil([&] { return count(start) >= lines; }, milliseconds);
    }
    std::string output() const { return m_lines.join('\n').toStdString(); }

    QList<models::Session> storedSessions() const {
        platform::SystemClock clock;
        platform::QtFileStore files;
        return services::SessionManager(clock, files, m_home.filePath(QStringLiteral("data/Kavro")))
            .sessionHistory();
    }

    static inline const QString kLost = QStringLiteral("[Kavro] No usable audio input — retrying");
    static inline const QString kBack = QStringLiteral("[Kavro] Audio input back after");
    static inline const QString kStarted = QStringLiteral("Session started: REAPER");
    static inline const QString kEnded = QStringLiteral("Session ended: REAPER");
    static inline const QString kWarning = QStringLiteral("Notification posted: device-disconnected");

    FakeWorkstations m_workstations;
    PrivatePulseAudio m_pulse;
    QTemporaryDir m_home;
    QProcess m_app;
    QStringList m_lines;
};

// A short loss (the source unloaded and loaded again) leaves the session running; a
// long one ends it with one warning, and the input's return starts a new session for
// the workstation that still runs; a sound server killed and started again leaves
// that one running. The stored sessions say how much of them was not measured.
TEST_F(InputRecoveryTest, ShortLossesKeepTheSessionALongOneEndsIt) {
    m_workstations.startAs(QStringLiteral("reaper"));
    ASSERT_TRUE(waitForLines(kStarted, 1, 5000)) << output();
    QTest::qWait(2000);

    m_pulse.unloadSource();
    ASSERT_TRUE(waitForLines(kLost, 1, 10000)) << output();
    QTest::qWait(2000);
    ASSERT_TRUE(m_pulse.loadSource());
    ASSERT_TRUE(waitForLines(kBack, 1, 15000)) << output();
    EXPECT_EQ(count(kEnded), 0);

    m_pulse.unloadSource();
    ASSERT_TRUE(waitForLines(kLost, 2, 10000)) << output();
    ASSERT_TRUE(waitForLines(kWarning, 1, 40000)) << output();
    EXPECT_EQ(count(kEnded), 1);
    QTest::qWait(6000);
    ASSERT_TRUE(m_pulse.loadSource());
    ASSERT_TRUE(waitForLines(kStarted, 2, 15000)) << output();
    EXPECT_EQ(count(kWarning), 1) << output();

    m_pulse.kill();
    ASSERT_TRUE(waitForLines(kLost, 3, 20000)) << output();
    ASSERT_TRUE(m_pulse.start());
    ASSERT_TRUE(waitForLines(kBack, 3, 20000)) << output();
    EXPECT_EQ(count(kStarted), 2);
    EXPECT_EQ(count(kEnded), 1);
    QTest::qWait(3000);

    m_app.terminate();
    ASSERT_TRUE(m_app.waitForFinished(10000));
    const auto stored = storedSessions();
    ASSERT_EQ(stored.size(), 2) << output();
    for (const models::Session& session : stored) {
        EXPECT_GT(session.unmeasuredSeconds, 0.0);
        EXPECT_LT(session.unmeasuredSeconds, session.durationSeconds(*session.endDate) - 1.0)
            << "some of it was measured";
        EXPECT_GT(session.averageSPL, 50.0);
    }
    EXPECT_GE(stored.back().unmeasuredSeconds, 30.0);
}

} // namespace
} // namespace kavro
