// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/MicResponseCalibrationService.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/SettingKey.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/MicFrequencyCorrection.h"
#include "services/PinkNoisePlayer.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace keys = kavro::platform::keys;

using kavro::models::MicCalibrationState;
using namespace kavro::services;
namespace testing_ = kavro::platform::testing;

namespace {

using Kind = MicCalibrationState::Kind;

class MicResponseCalibrationServiceTest : public ::testing::Test {
protected:
    MicResponseCalibrationServiceTest() {
        // The settling delay runs when the test says so, not after a real second.
        service.scheduleAfter = [this](std::chrono::milliseconds delay, std::function<void()> task) {
            EXPECT_EQ(delay.count(), 1000);
            pendingTasks.push_back(std::move(task));
        };
        QObject::connect(&service, &MicResponseCalibrationService::changed,
                         [this] { published.push_back(service.state()); });
    }

    void start() { service.start(&audio, &player, QString(), &correction); }

    void settle() {
        auto tasks = std::move(pendingTasks);
        pendingTasks.clear();
        for (auto& task : tasks) {
            task();
        }
    }

    // Delivers noise on the capture thread in buffers of the given size and handles
    // what the service posted.
    void capture(std::size_t samples, std::size_t bufferSize = 1024) {
        std::vector<std::vector<float>> buffers;
        std::normal_distribution<float> distribution(0.0f, 0.1f);
        while (samples > 0) {
            const std::size_t size = std::min(samples, bufferSize);
            std::vector<float> buffer(size);
            for (float& value : buffer) {
                value = distribution(generator);
            }
            buffers.push_back(std::move(buffer));
            samples -= size;
        }
        backend.stream()->deliver(std::move(buffers));
        QCoreApplication::processEvents();
    }

    bool waitForState(Kind kind) {
        return kavro::testing::waitUntil([&] { return service.state().kind() == kind; }, 10000);
    }

    testing_::ScriptedAudioBackend backend;
    kavro::platform::MemoryPreferencesStore preferences;
    testing_::ManualClock clock;
    AudioDeviceManager devices{backend, preferences};
    AudioMeasurementService audio{backend, devices, clock, 94.0};
    PinkNoisePlayer player{backend};
    MicFrequencyCorrection correction{preferences};
    MicResponseCalibrationService service{clock};
    std::vector<std::function<void()>> pendingTasks;
    std::vector<MicCalibrationState> published;
    std::mt19937 generator{1};
};

} // namespace

TEST_F(MicResponseCalibrationServiceTest, SuccessfulRunStoresAndEnablesTheCorrection) {
    start();
    EXPECT_EQ(service.state(), MicCalibrationState::settling());
    EXPECT_TRUE(player.isPlaying());
    EXPECT_TRUE(audio.isRunning());
    EXPECT_FALSE(audio.hasRawSampleCallback());
    settle();
    EXPECT_EQ(service.state(), MicCalibrationState::measuring(0));
    ASSERT_TRUE(audio.hasRawSampleCallback());

    // 1024 · 199 + 2048 samples make the 200 frames: one sample short is not enough.
    capture(205823, 1000);
    EXPECT_EQ(service.state(), MicCalibrationState::measuring(199.0 / 200.0));
    capture(1, 1);
    ASSERT_TRUE(waitForState(Kind::Done));

    std::vector<Kind> kinds;
    double lastProgress = 0;
    for (const auto& state : published) {
        if (kinds.empty() || kinds.back() != state.kind()) {
            kinds.push_back(state.kind());
        }
        if (state.kind() == Kind::Measuring) {
            EXPECT_GE(state.progress(), lastProgress);
            lastProgress = state.progress();
        }
    }
    EXPECT_EQ(kinds, (std::vector<Kind>{Kind::Settling, Kind::Measuring, Kind::Computing, Kind::Done}));
    EXPECT_EQ(service.state().text(), "Correction applied.");

    ASSERT_TRUE(correction.profile());
    EXPECT_TRUE(correction.isEnabled());
    EXPECT_EQ(correction.profile()->sampleRate, 48000.0);
    EXPECT_EQ(correction.profile()->measuredDate, clock.now());
    EXPECT_EQ(correction.profile()->taps.size(), 128u);
    EXPECT_EQ(correction.profile()->correctionCurve.size(), 64);
    EXPECT_TRUE(preferences.contains(keys::micCorrectionProfile.name));
    // Everything the run started has stopped.
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(audio.isRunning());
    EXPECT_FALSE(audio.hasRawSampleCallback());

    // Done is left only by dismissing it.
    start();
    EXPECT_EQ(service.state(), MicCalibrationState::done());
    service.setState(MicCalibrationState::idle());
    start();
    EXPECT_EQ(service.state(), MicCalibrationState::settling());
}

TEST_F(MicResponseCalibrationServiceTest, CaptureThatWasRunningKeepsRunning) {
    audio.start();
    start();
    settle();
    capture(205824, 4096);
    ASSERT_TRUE(waitForState(Kind::Done));
    EXPECT_TRUE(audio.isRunning());
    EXPECT_FALSE(audio.hasRawSampleCallback());
}

TEST_F(MicResponseCalibrationServiceTest, StartIsIgnoredWhileARunIsUnderWay) {
    start();
    const int opened = backend.playbackOpenCount();
    start();
    EXPECT_EQ(backend.playbackOpenCount(), opened);
    settle();
    start();
    EXPECT_EQ(service.state().kind(), Kind::Measuring);
    EXPECT_EQ(backend.playbackOpenCount(), opened);
}

TEST_F(MicResponseCalibrationServiceTest, CancelDuringSettlingInstallsNothingLater) {
    start();
    service.cancel();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_FALSE(audio.isRunning());
    QCoreApplication::processEvents();
    EXPECT_EQ(service.state(), MicCalibrationState::idle());
    settle();
    EXPECT_EQ(service.state(), MicCalibrationState::idle());
    EXPECT_FALSE(audio.hasRawSampleCallback());
}

TEST_F(MicResponseCalibrationServiceTest, CancelWhileComputingKeepsTheStoredCorrection) {
    start();
    settle();
    std::function<void()> computation;
    service.runInBackground = [&](std::function<void()> task) { computation = std::move(task); };
    capture(205824);
    ASSERT_EQ(service.state(), MicCalibrationState::computing());
    service.cancel();
    computation();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(service.state(), MicCalibrationState::idle());
    EXPECT_FALSE(correction.profile());
    EXPECT_FALSE(correction.isEnabled());
}

TEST_F(MicResponseCalibrationServiceTest, FailuresSayWhyAndStopWhatTheRunStarted) {
    backend.startError = QStringLiteral("no device");
    start();
    EXPECT_EQ(service.state(), MicCalibrationState::failed("Could not start microphone input"));
    EXPECT_FALSE(player.isPlaying());
    service.setState(MicCalibrationState::idle());

    backend.startError.reset();
    backend.playbackStartError = QStringLiteral("no output");
    start();
    EXPECT_EQ(service.state(), MicCalibrationState::failed("Could not start pink noise playback"));
    EXPECT_EQ(service.state().text(), "Measurement failed: Could not start pink noise playback");
    EXPECT_FALSE(audio.isRunning());
    EXPECT_FALSE(correction.profile());
}

// A microphone that delivers non-numbers (a broken driver) would give a filter of
// non-numbers: the run fails and no correction is installed or switched on.
TEST_F(MicResponseCalibrationServiceTest, NonNumbersFromTheMicrophoneFailTheRun) {
    start();
    settle();
    backend.stream()->deliver(std::vector<std::vector<float>>(
        206, std::vector<float>(1000, std::numeric_limits<float>::quiet_NaN())));
    ASSERT_TRUE(waitForState(Kind::Failed));
    EXPECT_TRUE(service.state().text().contains("no usable filter")) << service.state().text().toStdString();
    EXPECT_FALSE(correction.profile());
    EXPECT_FALSE(correction.isEnabled());
    EXPECT_FALSE(audio.isRunning());
}

TEST_F(MicResponseCalibrationServiceTest, CaptureOrNoiseStoppingUnderneathFailsTheRun) {
    start();
    settle();
    capture(10000);
    audio.stop(); // a device switch stops capture and drops the tap
    EXPECT_EQ(service.state(),
              MicCalibrationState::failed("Microphone input stopped during the measurement"));
    EXPECT_FALSE(player.isPlaying());
    service.setState(MicCalibrationState::idle());

    start();
    player.stop(); // the output device went away
    EXPECT_EQ(service.state(),
              MicCalibrationState::failed("Pink noise playback stopped during the measurement"));
    EXPECT_FALSE(audio.isRunning());
    settle();
    EXPECT_FALSE(audio.hasRawSampleCallback());
}
