#include "services/AudioMeasurementService.h"

#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "services/AudioDeviceManager.h"
#include "support/EventLoopWait.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using kavro::platform::AudioDeviceDescription;
using kavro::platform::MemoryPreferencesStore;
using kavro::platform::testing::ScriptedAudioBackend;
using kavro::services::AudioDeviceManager;
using kavro::services::AudioMeasurementService;
using kavro::testing::spin;
using kavro::testing::waitFor;

AudioDeviceDescription input(const QString& uid, int channels) {
    AudioDeviceDescription description;
    description.uid = uid;
    description.name = uid;
    description.channelCount = channels;
    description.sampleRate = 48000;
    return description;
}

std::vector<float> sine(double amplitude, double sampleRate) {
    std::vector<float> samples(AudioMeasurementService::kFramesPerBuffer);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<float>(
            amplitude * std::sin(2 * std::numbers::pi * 1000.0 * static_cast<double>(i) / sampleRate));
    }
    return samples;
}

// The engine side of the meter against the scripted backend: routing, formats, the
// device switch and the recovery from configuration changes. The 0.2 s and 0.4 s rules
// run on Qt's real timers, checked just before and after their time.
class AudioMeasurementEngineTest : public ::testing::Test {
protected:
    AudioMeasurementEngineTest() {
        backend.inputs = {input("usb", 4), input("builtin", 1)};
        manager = std::make_unique<AudioDeviceManager>(backend, preferences);
        service = std::make_unique<AudioMeasurementService>(backend, *manager, 94.0);
        service->onDeviceDisconnected = [this] { ++disconnects; };
    }

    // Delivers buffers on the capture thread and lets their updates land.
    void deliver(const std::vector<float>& buffer, int count = 1) {
        backend.stream()->deliver(std::vector<std::vector<float>>(static_cast<std::size_t>(count), buffer));
        QCoreApplication::sendPostedEvents(service.get());
    }

    ScriptedAudioBackend backend;
    MemoryPreferencesStore preferences;
    std::unique_ptr<AudioDeviceManager> manager;
    std::unique_ptr<AudioMeasurementService> service;
    int disconnects = 0;
};

TEST_F(AudioMeasurementEngineTest, StartRoutesToTheSelectionAndRetunesToTheDeviceRate) {
    manager->selectDevice("usb");
    manager->setSelectedChannelIndex(2);
    backend.captureFormat = {44100.0, 4};
    service->start();
    ASSERT_TRUE(service->isRunning());
    ASSERT_NE(backend.stream(), nullptr);
    EXPECT_EQ(backend.stream()->deviceUid(), "usb");
    EXPECT_EQ(backend.stream()->deviceChannel(), 2);
    EXPECT_EQ(backend.stream()->framesPerBuffer(), 1024);
    EXPECT_TRUE(backend.stream()->isStarted());
    EXPECT_EQ(service->currentSampleRate(), 44100.0);

    // A selection that is not present captures from the default input.
    service->stop();
    manager->selectDevice("gone");
    service->start();
    EXPECT_EQ(backend.stream()->deviceUid(), "");
}

struct FormatFailure {
    double sampleRate;
    int channels;
    std::optional<QString> startError;
    const char* line;
};

class AudioMeasurementStartFailureTest : public AudioMeasurementEngineTest,
                                         public ::testing::WithParamInterface<FormatFailure> {};

TEST_P(AudioMeasurementStartFailureTest, ReportsAndStaysStopped) {
    const FormatFailure& c = GetParam();
    backend.captureFormat = {c.sampleRate, c.channels};
    backend.startError = c.startError;
    QSignalSpy problems(service.get(), &AudioMeasurementService::problem);
    service->start();
    ASSERT_EQ(problems.count(), 1);
    EXPECT_EQ(problems.at(0).at(0).toString(), c.line);
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(backend.stream(), nullptr) << "the stream is discarded";
    EXPECT_EQ(service->currentSampleRate(), 48000.0) << "an unusable format is not adopted";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AudioMeasurementStartFailureTest,
    ::testing::Values(
        FormatFailure{0.0, 2, std::nullopt,
                      "[Kavro] start: invalid audio format (sampleRate=0.0 channels=2) — aborting"},
        FormatFailure{44100.0, 0, std::nullopt,
                      "[Kavro] start: invalid audio format (sampleRate=44100.0 channels=0) — aborting"},
        FormatFailure{48000.0, 1, QString("device busy"),
                      "[Kavro] Failed to start audio engine: device busy"}));

TEST_F(AudioMeasurementEngineTest, SwitchDeviceRestartsOnceAfterTheDelay) {
    service->switchDevice();
    spin(250);
    EXPECT_EQ(backend.openCount(), 0) << "nothing happens while stopped";

    service->start();
    manager->selectDevice("builtin");
    service->switchDevice();
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(backend.stream(), nullptr);
    spin(150);
    EXPECT_FALSE(service->isRunning()) << "not before 0.2 s";
    ASSERT_TRUE(waitFor([&] { return service->isRunning(); }, 300));
    EXPECT_EQ(backend.openCount(), 2);
    EXPECT_EQ(backend.stream()->deviceUid(), "builtin");
    spin(250);
    EXPECT_EQ(backend.openCount(), 2) << "exactly one restart";
}

TEST_F(AudioMeasurementEngineTest, StopDuringAPendingSwitchKeepsCaptureOff) {
    service->start();
    service->switchDevice();
    service->stop();
    spin(300);
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(backend.openCount(), 1);

    // A start while the switch is pending runs at once; the delayed one then does nothing.
    service->switchDevice();
    service->start();
    spin(300);
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(backend.openCount(), 2);
}

TEST_F(AudioMeasurementEngineTest, VanishedSelectedDeviceStopsAndReportsOnce) {
    manager->selectDevice("usb");
    service->start();
    deliver(sine(0.5, 48000), 5);
    ASSERT_GT(service->currentSPL(), 0);

    backend.inputs.removeFirst();
    backend.stream()->notifyConfigurationChanged();
    EXPECT_FALSE(backend.stream()->isStarted()) << "paused at once";
    EXPECT_TRUE(service->isRunning());
    backend.stream()->notifyConfigurationChanged();
    spin(300);
    EXPECT_TRUE(service->isRunning()) << "not before 0.4 s";
    EXPECT_EQ(disconnects, 0);
    ASSERT_TRUE(waitFor([&] { return !service->isRunning(); }, 400));
    EXPECT_EQ(disconnects, 1);
    EXPECT_EQ(service->currentSPL(), 0);
    EXPECT_FALSE(manager->hasInputDevice("usb")) << "the lists were refreshed";
    spin(500);
    EXPECT_EQ(disconnects, 1) << "the second report added nothing";
}

TEST_F(AudioMeasurementEngineTest, ChangeElsewhereResumesTheSameStream) {
    service->start();
    auto* stream = backend.stream();
    backend.inputs.removeLast();
    stream->notifyConfigurationChanged();
    ASSERT_TRUE(waitFor([&] { return stream->isStarted(); }, 700));
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(backend.openCount(), 1);
    EXPECT_EQ(stream->reopenCount(), 1);
    EXPECT_EQ(manager->inputDevices().size(), 1);
    EXPECT_EQ(disconnects, 0);
    EXPECT_EQ(service->currentSampleRate(), 48000.0);
}

TEST_F(AudioMeasurementEngineTest, RateChangeRetunesAndRestartsTheLevelFromZero) {
    backend.captureFormat = {44100.0, 1};
    service->start();
    deliver(sine(1.0, 44100), 30);
    ASSERT_NEAR(service->currentSPL(), 90.99, 0.1);

    backend.captureFormat = {48000.0, 1};
    backend.stream()->notifyConfigurationChanged();
    ASSERT_TRUE(waitFor([&] { return backend.stream()->isStarted(); }, 700));
    EXPECT_EQ(service->currentSampleRate(), 48000.0);
    // Filters tuned to 48 kHz and smoothing from 0: the first level after the change
    // is 0.3 times the buffer's level, as after a start.
    deliver(sine(1.0, 48000));
    EXPECT_NEAR(service->currentSPL(), 0.3 * 90.99, 0.3);
}

TEST_F(AudioMeasurementEngineTest, FailedResumeDoesAFullRestart) {
    manager->selectDevice("usb");
    manager->setSelectedChannelIndex(1);
    service->start();
    backend.reopenError = QStringLiteral("device busy");
    QSignalSpy problems(service.get(), &AudioMeasurementService::problem);
    backend.stream()->notifyConfigurationChanged();
    const bool restarted = waitFor([&] { return backend.openCount() == 2; }, 700);
    ASSERT_EQ(problems.count(), 1);
    EXPECT_EQ(problems.at(0).at(0).toString(),
              "[Kavro] Engine restart after config change failed (device busy) — doing full restart");
    ASSERT_TRUE(restarted);
    EXPECT_TRUE(service->isRunning());
    EXPECT_TRUE(backend.stream()->isStarted());
    EXPECT_EQ(backend.stream()->deviceChannel(), 1);
}

TEST_F(AudioMeasurementEngineTest, StopWhilePausedLeavesThePendingResumeWithNothingToDo) {
    manager->selectDevice("usb");
    service->start();
    backend.inputs.clear();
    backend.stream()->notifyConfigurationChanged();
    service->stop();
    spin(600);
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(disconnects, 0);
    EXPECT_EQ(backend.openCount(), 1);
    EXPECT_EQ(manager->inputDevices().size(), 2) << "no refresh ran";
}

} // namespace
