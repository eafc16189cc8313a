// SPDX-License-Identifier: GPL-3.0-or-later
// The response measurement on real devices: pink noise played into a private
// PulseAudio sink is captured from a source fed by that sink, once directly (a
// digitally flat loop) and once through sox applying a -6 dB high shelf between two
// pipe modules. Needs the PulseAudio server of scripts/with-test-servers.
#include "cli/CalibrateCommand.h"
#include "integration/PulseAudioFixture.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/Settings.h"
#include "platform/qt/QtAudioBackend.h"
#include "platform/qt/SystemClock.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/PinkNoisePlayer.h"
#include "support/WaitUntil.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using kavro::models::MicCorrectionProfile;
using kavro::platform::MemoryPreferencesStore;
using kavro::platform::QtAudioBackend;
using namespace kavro::services;
using kavro::testing::waitUntil;

constexpr int kRate = 48000;

// Mean gain of the curve points inside a frequency range.
double meanGainDB(const MicCorrectionProfile& profile, double low, double high) {
    double sum = 0;
    int count = 0;
    for (const auto& point : profile.correctionCurve) {
        if (point.frequency >= low && point.frequency <= high) {
            sum += point.gainDB;
            ++count;
        }
    }
    EXPECT_GT(count, 0);
    return sum / count;
}

class MicCalibrationLoopTest : public kavro::testing::PulseAudioFixture {
protected:
    struct Loop {
        QString sink;
        QString source;
    };

    void TearDown() override {
        if (m_sox) {
            m_sox->kill();
            m_sox->waitForFinished(3000);
        }
        PulseAudioFixture::TearDown();
    }

    // A mono null sink and a source on its monitor: what is played is captured unchanged.
    Loop flatLoop() {
        const Loopback loopback = loadLoopback(QStringLiteral("flat"), kRate, 1);
        backend->refresh();
        return {loopback.sink, loopback.source};
    }

    // The same, with sox between a pipe sink and a pipe source cutting everything
    // above about 2 kHz by 6 dB.
    Loop shelfLoop() {
        Loop loop{deviceName(QStringLiteral("shelf")), deviceName(QStringLiteral("shelf_mic"))};
        const QString played = m_fifos.filePath("played");
        const QString heard = m_fifos.filePath("heard");
        const QString format = QStringLiteral("format=float32le rate=%1 channels=1").arg(kRate);
        loadModule(QStringList{"module-pipe-sink", "sink_name=" + loop.sink, "file=" + played,
                               "use_system_clock_for_timing=yes"} +
                   format.split(' '));
        loadModule(QStringList{"module-pipe-source", "source_name=" + loop.source, "file=" + heard} +
                   format.split(' '));
        const QStringList raw{"-t", "raw", "-r", QString::number(kRate), "-e", "floating-point", "-b",
                              "32", "-c",  "1"};
        m_sox = std::make_unique<QProcess>();
        m_sox->start(QStringLiteral("sox"), QStringList{"--buffer", "2048"} + raw + QStringList{played} +
                                                raw + QStringList{heard, "treble", "-6", "1500", "1.0"});
        EXPECT_TRUE(m_sox->waitForStarted(5000));
        waitForDevices(loop.sink, loop.source);
        backend->refresh();
        return loop;
    }

    enum class Devices { fromArguments, fromSettings };

    // Runs kavro-cli calibrate in-process and returns the correction it stored. The
    // loop's devices are named on the command line, or left to the application's settings.
    std::optional<MicCorrectionProfile> calibrate(const Loop& loop,
                                                  Devices devices = Devices::fromArguments) {
        QString outText, errText;
        QTextStream out(&outText), err(&errText);
        kavro::cli::CommandContext context{out, err, false, &preferences, backend.get()};
        QStringList arguments{"--output", loop.sink, "--input", loop.source};
        if (devices == Devices::fromSettings) {
            kavro::platform::Settings settings(preferences);
            settings.setValue(kavro::platform::keys::selectedOutputDeviceUID, loop.sink);
            settings.setValue(kavro::platform::keys::selectedDeviceUID, loop.source);
            arguments.clear();
        }
        const int exitCode = kavro::cli::runCalibrate(arguments, context);
        EXPECT_EQ(exitCode, 0) << errText.toStdString();
        EXPECT_TRUE(errText.contains("Correction applied.")) << errText.toStdString();
        return MicFrequencyCorrection(preferences).profile();
    }

    // The energy-averaged A-weighted level of what plays while the callback is active,
    // read through the measurement pipeline with the stored correction (when switched on).
    double levelDBA(const Loop& loop, const std::function<void()>& startPlaying,
                    const std::function<void()>& stopPlaying) {
        MemoryPreferencesStore devicePreferences;
        AudioDeviceManager devices(*backend, devicePreferences);
        devices.selectDevice(loop.source);
        MicFrequencyCorrection correction(preferences);
        const kavro::platform::SystemClock clock;
        AudioMeasurementService service(*backend, devices, clock, 0.0);
        service.setMicFreqCorrection(&correction);
        startPlaying();
        service.start();
        EXPECT_TRUE(service.isRunning());
        EXPECT_EQ(service.currentSampleRate(), kRate);
        EXPECT_TRUE(waitUntil([&] { return service.lastBuffer().frames > 0; }, 4000));
        QTest::qWait(700);
        double sum = 0;
        double frames = 0;
        const auto connection = QObject::connect(&service, &AudioMeasurementService::changed, [&] {
            const auto& buffer = service.lastBuffer();
            sum += buffer.rmsA * buffer.rmsA * double(buffer.frames);
            frames += double(buffer.frames);
        });
        QTest::qWait(2000);
        QObject::disconnect(connection);
        service.stop();
        stopPlaying();
        EXPECT_GT(frames, 0);
        return 10 * std::log10(sum / frames);
    }

    double pinkLevel(const Loop& loop) {
        PinkNoisePlayer player(*backend);
        return levelDBA(
            loop, [&] { ASSERT_TRUE(player.start(loop.sink)); }, [&] { player.stop(); });
    }

    // A 1 kHz tone, as a level calibrator would give it.
    double toneLevel(const Loop& loop) {
        return levelDBA(
            loop,
            [&] {
                play(loop.sink, 44100, {1000, 0.25, 0.25});
            },
            [&] { stopPlaying(); });
    }

    MemoryPreferencesStore preferences;

private:
    QTemporaryDir m_fifos;
    std::unique_ptr<QProcess> m_sox;
};

} // namespace

// The devices the application has selected are the ones measured.
TEST_F(MicCalibrationLoopTest, FlatLoopMeasuresFlat) {
    const Loop loop = flatLoop();
    const auto profile = calibrate(loop, Devices::fromSettings);
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->sampleRate, kRate);
    ASSERT_EQ(profile->correctionCurve.size(), 64);
    for (const auto& point : profile->correctionCurve) {
        if (point.frequency >= 400 && point.frequency <= 16000) {
            EXPECT_NEAR(point.gainDB, 0.0, 1.0) << point.frequency << " Hz";
        }
    }
}

// The measured correction undoes the shelf: 6 dB more above it than below it. With
// the correction on and the level offset set with a 1 kHz calibrator, pink noise
// through the shelf reads what it reads through the flat loop. (The correction is
// normalised over 400 Hz … 16 kHz, so its absolute level is the calibrator's job.)
TEST_F(MicCalibrationLoopTest, ShelfInTheLoopIsMeasuredAndUndone) {
    if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty()) {
        GTEST_SKIP() << "needs sox";
    }
    const Loop flat = flatLoop();
    const double flatReading = pinkLevel(flat) - toneLevel(flat);

    const Loop shelf = shelfLoop();
    const double uncorrectedReading = pinkLevel(shelf) - toneLevel(shelf);
    EXPECT_LT(uncorrectedReading, flatReading - 2.0) << "the shelf should lower the A-weighted pink level";

    const auto profile = calibrate(shelf);
    ASSERT_TRUE(profile);
    const double lift = meanGainDB(*profile, 6000, 14000) - meanGainDB(*profile, 400, 700);
    EXPECT_NEAR(lift, 6.0, 1.5);

    const double correctedReading = pinkLevel(shelf) - toneLevel(shelf);
    EXPECT_NEAR(correctedReading, flatReading, 1.0);
}
