// SPDX-License-Identifier: GPL-3.0-or-later
// The level of what goes to an output, on a real sound server: tones played into a
// private null sink are measured from its monitor through the whole measuring chain.
// The same program runs on PulseAudio and on PipeWire's PulseAudio server.
#include "platform/MemoryPreferencesStore.h"
#include "platform/pulse/PulseOutputTap.h"
#include "platform/qt/SystemClock.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/OutputSource.h"
#include "support/SoundFiles.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <list>
#include <numbers>

namespace {

using namespace kavro;
using kavro::testing::waitUntil;

// A profile of 100 dB SPL for a full-scale signal.
class HundredDecibels final : public services::OutputReferenceSource {
public:
    services::OutputReference referenceFor(const QString&, const QString& displayName) const override {
        return {100.0, false, displayName};
    }
};

// A sine of peak amplitude 0.1 (−20 dBFS) in A-weighting's flat region reads
// 100 − 20 − 3.01 dB with that profile.
constexpr double kToneAmplitude = 0.1;
constexpr double kToneAtFullVolume = 76.99;
// PulseAudio's 50 % is (0.5)³ in amplitude.
constexpr double kToneAtHalfVolume = kToneAtFullVolume + 60.0 * std::log10(0.5);
constexpr double kTolerance = 0.1;

QString pactl(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral("pactl"), args);
    process.waitForFinished(10000);
    EXPECT_EQ(process.exitCode(), 0) << "pactl " << args.join(' ').toStdString();
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

class OutputLevelTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("PULSE_SERVER")) {
            GTEST_SKIP() << "needs a private sound server (scripts/with-test-servers, scripts/with-pipewire)";
        }
        // Servers remember a device's volume by its name: each test has a sink of its own.
        static int s_sinks = 0;
        m_sink = QStringLiteral("kavro_output_%1_%2").arg(QCoreApplication::applicationPid()).arg(++s_sinks);
        loadSink();
        tap = std::make_unique<platform::PulseOutputTap>();
        ASSERT_EQ(tap->connect(), std::nullopt);
        ASSERT_TRUE(waitUntil([&] { return hasSink(); }, 3000));
        source = std::make_unique<services::OutputSource>(*tap, m_reference);
        source->setChosenOutput(m_sink);
        devices =
            std::make_unique<services::AudioDeviceManager>(m_microphones, platform::Settings(m_preferences));
        service = std::make_unique<services::AudioMeasurementService>(m_microphones, *devices, m_clock, 0.0);
        service->setOutputSource(source.get());
    }

    void TearDown() override {
        for (QProcess& player : m_players) {
            player.kill();
            player.waitForFinished(3000);
        }
        service.reset();
        source.reset();
        tap.reset();
        if (!m_module.isEmpty()) {
            pactl({"unload-module", m_module});
        }
        if (m_restartedServer.state() != QProcess::NotRunning) {
            m_restartedServer.terminate();
            m_restartedServer.waitForFinished(3000);
        }
    }

    void loadSink() {
        m_module =
            pactl({"load-module", "module-null-sink", "sink_name=" + m_sink, "rate=48000", "channels=2"});
        setVolume(QStringLiteral("100%"));
    }

    bool hasSink() const {
        const auto outputs = tap->outputs();
        return std::any_of(outputs.begin(), outputs.end(),
                           [&](const auto& output) { return output.name == m_sink; });
    }

    // Plays a 1 kHz-region tone (30 s) into the sink: amplitude per channel.
    void play(double left, double right, double frequency = 1000.0) {
        const QString path = m_folder.filePath(QStringLiteral("tone%1.wav").arg(m_players.size()));
        constexpr int kRate = 48000;
        ASSERT_TRUE(testsupport::writeWav(path, kRate, 2, 30L * kRate, [&](long frame, int channel) {
            const double amplitude = channel == 0 ? left : right;
            return static_cast<float>(amplitude *
                                      std::sin(2.0 * std::numbers::pi * frequency * double(frame) / kRate));
        }));
        QProcess& player = m_players.emplace_back();
        // A player that asks for a short latency: the sink then renders (and its monitor
        // delivers) in short blocks, as for music and monitoring software.
        player.start(QStringLiteral("paplay"),
                     {QStringLiteral("--device=") + m_sink, QStringLiteral("--latency-msec=100"), path});
        ASSERT_TRUE(player.waitForStarted(3000));
    }

    // The louder ear's LAeq over a second, once the level has settled for settleMs.
    double settledLevel(int settleMs = 500) {
        QTest::qWait(settleMs);
        service->takeInterval();
        QTest::qWait(1000);
        return service->takeInterval().laeq;
    }

    void startMeasuring() {
        service->start();
        ASSERT_TRUE(waitUntil([&] { return service->currentSPL() > 40.0; }, 5000))
            << "no level from the output";
    }

    void setVolume(const QString& volume) { pactl({"set-sink-volume", m_sink, volume}); }

    HundredDecibels m_reference;
    platform::MemoryPreferencesStore m_preferences;
    platform::testing::ScriptedAudioBackend m_microphones;
    platform::SystemClock m_clock;
    QTemporaryDir m_folder;
    QString m_sink;
    QString m_module;
    std::list<QProcess> m_players;
    QProcess m_restartedServer;
    std::unique_ptr<platform::PulseOutputTap> tap;
    std::unique_ptr<services::OutputSource> source;
    std::unique_ptr<services::AudioDeviceManager> devices;
    std::unique_ptr<services::AudioMeasurementService> service;
};

TEST_F(OutputLevelTest, levelFollowsVolumeAndMute) {
    play(kToneAmplitude, kToneAmplitude);
    startMeasuring();
    EXPECT_NEAR(settledLevel(), kToneAtFullVolume, kTolerance);

    // Within half a second of the change the new level holds.
    setVolume(QStringLiteral("50%"));
    EXPECT_NEAR(settledLevel(), kToneAtHalfVolume, kTolerance);

    pactl({"set-sink-mute", m_sink, "1"});
    const double muted = settledLevel();
    EXPECT_EQ(muted, 0.0) << "a muted output accrues nothing";
    pactl({"set-sink-mute", m_sink, "0"});
    EXPECT_NEAR(settledLevel(), kToneAtHalfVolume, kTolerance);
}

TEST_F(OutputLevelTest, louderEarCountsAndStreamsAdd) {
    // A tone in the left ear only reads as in both.
    play(kToneAmplitude, 0.0);
    startMeasuring();
    EXPECT_NEAR(settledLevel(), kToneAtFullVolume, kTolerance);

    // A second stream at the same time adds its energy (another frequency, so that the
    // two do not interfere).
    play(kToneAmplitude, kToneAmplitude, 1250.0);
    const double both = settledLevel();
    m_players.front().kill();
    m_players.front().waitForFinished(3000);
    const double second = settledLevel();
    const double sum =
        10.0 * std::log10(std::pow(10.0, kToneAtFullVolume / 10.0) + std::pow(10.0, second / 10.0));
    EXPECT_NEAR(both, sum, kTolerance);
}

// The PulseAudio server of PipeWire restarts (an update, a crash): measuring comes back
// by itself once the output does. Only on the private PipeWire, which no other test shares.
TEST_F(OutputLevelTest, serverRestartIsSurvived) {
    if (!qEnvironmentVariableIsSet("KAVRO_TEST_PIPEWIRE")) {
        GTEST_SKIP() << "restarts the server: only on the private PipeWire of scripts/with-pipewire";
    }
    play(kToneAmplitude, kToneAmplitude);
    startMeasuring();
    QFile pidFile(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/pulse/pid"));
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const qint64 serverPid = pidFile.readAll().trimmed().toLongLong();
    ASSERT_GT(serverPid, 0);
    QProcess::execute(QStringLiteral("kill"), {QString::number(serverPid)});
    ASSERT_TRUE(waitUntil([&] { return service->isRetrying(); }, 5000));
    for (QProcess& player : m_players) {
        player.kill();
        player.waitForFinished(3000);
    }
    m_players.clear();

    m_restartedServer.start(QStringLiteral("pipewire-pulse"), {});
    const auto answers = [] {
        QProcess info;
        info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
        return info.waitForFinished(3000) && info.exitCode() == 0;
    };
    ASSERT_TRUE(waitUntil(answers, 5000));
    loadSink();
    play(kToneAmplitude, kToneAmplitude);
    ASSERT_TRUE(waitUntil([&] { return !service->isRetrying() && service->currentSPL() > 70.0; }, 15000));
    EXPECT_NEAR(settledLevel(), kToneAtFullVolume, kTolerance);
}

} // namespace
