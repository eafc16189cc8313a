// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/AudioMeasurementService.h"
#include "dsp/AWeightingFilter.h"
#include "dsp/LevelMeter.h"
#include "dsp/MicCorrectionHook.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "services/AudioDeviceManager.h"
#include "support/ParamNames.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace {

using kavro::platform::AudioDeviceDescription;
using kavro::platform::MemoryPreferencesStore;
using kavro::platform::MicrophonePermission;
using kavro::platform::testing::ManualClock;
using kavro::platform::testing::ScriptedAudioBackend;
using kavro::services::AudioDeviceManager;
using kavro::services::AudioMeasurementService;
using kavro::testing::waitUntil;

AudioDeviceDescription input(const QString& uid, int channels) {
    AudioDeviceDescription description;
    description.uid = uid;
    description.name = uid;
    description.channelCount = channels;
    description.sampleRate = 48000;
    return description;
}

// A continuous sine cut into consecutive buffers.
class SineSource {
public:
    SineSource(double frequency, double sampleRate) : m_frequency(frequency), m_sampleRate(sampleRate) {}
    std::vector<float> next(std::size_t frames = 1024) {
        std::vector<float> samples(frames);
        for (auto& s : samples) {
            s = static_cast<float>(m_amplitude * std::sin(2.0 * std::numbers::pi * m_frequency *
                                                          double(m_position++) / m_sampleRate));
        }
        return samples;
    }
    void setAmplitude(double amplitude) { m_amplitude = amplitude; }

private:
    double m_frequency, m_sampleRate, m_amplitude = 1.0;
    std::int64_t m_position = 0;
};

double levelDb(double rms, double offset) {
    return 20.0 * std::log10(rms) + offset;
}

// The meter against the scripted backend: the levels it publishes, and its engine side
// (routing, formats, the device switch, the recovery from configuration changes). The
// 0.2 s and 0.4 s rules run on Qt's real timers, checked just before and after their time.
class AudioMeasurementServiceTest : public ::testing::Test {
protected:
    AudioMeasurementServiceTest() {
        backend.inputs = {input("usb", 4), input("builtin", 1)};
        manager = std::make_unique<AudioDeviceManager>(backend, preferences);
        service = std::make_unique<AudioMeasurementService>(backend, *manager, clock, 94.0);
        service->onDeviceDisconnected = [this] { ++disconnects; };
        service->onCaptureLost = [this] { ++losses; };
        service->onCaptureResumed = [this] { ++resumptions; };
    }

    // Lets time pass on the clock in tenths of a second, with the retry timer's handler
    // run at each, as the timer would.
    void retryFor(double seconds) {
        for (int tenth = 0; tenth < static_cast<int>(std::lround(seconds * 10)); ++tenth) {
            clock.advance(0.1);
            service->watchTick();
            QCoreApplication::sendPostedEvents();
        }
    }

    // Delivers buffers on the scripted capture thread and then the posted updates on
    // this (the main) thread.
    void feed(std::vector<float> buffer, int count = 1) {
        ASSERT_NE(backend.stream(), nullptr);
        backend.stream()->deliver(std::vector<std::vector<float>>(static_cast<std::size_t>(count), buffer));
        QCoreApplication::sendPostedEvents();
    }

    ScriptedAudioBackend backend;
    MemoryPreferencesStore preferences;
    ManualClock clock;
    std::unique_ptr<AudioDeviceManager> manager;
    std::unique_ptr<AudioMeasurementService> service;
    int disconnects = 0;
    int losses = 0;
    int resumptions = 0;
};

} // namespace

// Levels climb by the smoothing (0.3 of the new level, 0.7 of the old) to the sine's
// RMS level; peaks and the peak alert follow each buffer.
TEST_F(AudioMeasurementServiceTest, FullScaleSineClimbsToItsLevel) {
    service->start();
    ASSERT_TRUE(service->isRunning());
    SineSource source(1000, 48000);
    std::vector<double> published;
    for (int i = 0; i < 20; ++i) {
        feed(source.next());
        published.push_back(service->currentSPL());
        // Both weightings have unit gain at 1 kHz; a buffer holds 21⅓ cycles.
        EXPECT_NEAR(levelDb(service->lastBuffer().rmsA, 94.0), 90.99, 0.05) << "buffer " << i;
        EXPECT_NEAR(levelDb(service->lastBuffer().rmsC, 94.0), 90.99, 0.05) << "buffer " << i;
    }
    EXPECT_NEAR(service->peakDBA(), 94.0, 0.02);
    EXPECT_NEAR(service->peakDBC(), 94.0, 0.02);
    EXPECT_NEAR(published[0], 27.3, 0.05);
    EXPECT_NEAR(published[1], 46.4, 0.05);
    EXPECT_NEAR(published[19], 90.99, 0.1);
    EXPECT_NEAR(service->currentDBC(), 90.99, 0.1);
    EXPECT_FALSE(service->peakAlert());

    // The offset takes effect from the next buffer: a 140 dBC peak alerts.
    service->setCalibrationOffset(140.0);
    feed(source.next());
    EXPECT_TRUE(service->peakAlert());
    service->setCalibrationOffset(94.0);
    feed(source.next());
    EXPECT_FALSE(service->peakAlert());
}

// One announcement for the buffers a device delivers together, yet every rise and fall
// of the alert is seen with the peak that made it, as buffer by buffer.
TEST_F(AudioMeasurementServiceTest, BuffersDeliveredTogetherArePublishedTogetherWithEveryAlertEdge) {
    service->start();
    service->setCalibrationOffset(140.0); // a full-scale tone alerts
    SineSource source(1000, 48000);
    kavro::dsp::LevelMeter reference(48000.0, AudioMeasurementService::kFramesPerBuffer);
    std::vector<std::vector<float>> buffers;
    std::vector<std::pair<bool, double>> expected{{false, 0.0}};
    for (const double amplitude : {0.001, 1.0, 0.001}) {
        source.setAmplitude(amplitude);
        for (int i = 0; i < 10; ++i) {
            buffers.push_back(source.next());
            const auto reading = reference.process(buffers.back(), 140.0, nullptr);
            if (reading.peakAlert != expected.back().first) {
                expected.emplace_back(reading.peakAlert, reading.peakDBC);
            }
        }
    }
    std::vector<std::pair<bool, double>> seen{{false, 0.0}};
    int announcements = 0;
    QObject::connect(service.get(), &AudioMeasurementService::changed, [&] {
        ++announcements;
        if (service->peakAlert() != seen.back().first) {
            seen.emplace_back(service->peakAlert(), service->peakDBC());
        }
    });
    backend.stream()->deliver(buffers);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(expected.size(), 3u) << "the tone rises and falls";
    EXPECT_EQ(seen, expected);
    EXPECT_LT(announcements, 10);
    EXPECT_EQ(service->lastBuffer().frames % AudioMeasurementService::kFramesPerBuffer, 0u);
    EXPECT_EQ(service->takeInterval().frames, 30 * AudioMeasurementService::kFramesPerBuffer);
}

// An owner collecting on its timer is woken only for a start's first buffer and for a
// backlog of twice its interval.
TEST_F(AudioMeasurementServiceTest, AnOwnerThatCollectsIsWokenOnlyWhenItFallsBehind) {
    service->setCollectInterval(std::chrono::milliseconds(100));
    service->start();
    SineSource source(1000, 48000);
    feed(source.next(1000));
    EXPECT_EQ(service->lastBuffer().frames, 1000u) << "the first buffer ends any loss at once";
    feed(source.next(1001));
    EXPECT_EQ(service->lastBuffer().frames, 1000u);
    feed(source.next(1024), 9); // 0.2 s waiting
    EXPECT_EQ(service->lastBuffer().frames, 1001u + 9 * 1024u) << "published as one";
    feed(source.next(1002));
    service->collect();
    EXPECT_EQ(service->lastBuffer().frames, 1002u);
}

TEST_F(AudioMeasurementServiceTest, StopPublishesZerosAndDropsLateUpdates) {
    service->start();
    SineSource source(1000, 48000);
    feed(source.next(), 10);
    ASSERT_GT(service->currentSPL(), 80.0);
    // Buffers processed before the stop whose updates are still queued.
    backend.stream()->deliver({source.next(), source.next()});
    service->stop();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(service->currentSPL(), 0.0);
    EXPECT_EQ(service->currentDBC(), 0.0);
    EXPECT_EQ(service->peakDBA(), 0.0);
    EXPECT_EQ(service->peakDBC(), 0.0);
    EXPECT_FALSE(service->peakAlert());

    // A new start climbs from 0 again, and its first interval holds only its own audio.
    service->start();
    feed(source.next());
    EXPECT_NEAR(service->currentSPL(), 27.3, 0.05);
    EXPECT_EQ(service->takeInterval().frames, 1024);
}

// The interval holds every buffer published since it was last taken, whatever the
// newest buffer says, each with the offset it was measured with.
TEST_F(AudioMeasurementServiceTest, TheIntervalHoldsEveryBufferSinceTheLastTake) {
    service->start();
    SineSource source(1000, 48000);
    feed(source.next(), 10);
    service->takeInterval();

    struct Step {
        double amplitude;
        std::size_t frames;
        double offset;
    };
    const Step steps[] = {{0.01, 1024, 94.0}, {1.0, 1025, 94.0}, {0.01, 1023, 94.0}, {0.01, 1024, 104.0}};
    double energy = 0;
    double peakDBC = 0;
    std::int64_t frames = 0;
    for (const Step& step : steps) {
        source.setAmplitude(step.amplitude);
        service->setCalibrationOffset(step.offset);
        feed(source.next(step.frames));
        const auto& buffer = service->lastBuffer();
        energy += buffer.sumSquaresA * std::pow(10.0, step.offset / 10.0);
        peakDBC = std::max(peakDBC, service->peakDBC());
        frames += static_cast<std::int64_t>(step.frames);
    }
    ASSERT_LT(service->peakDBC(), 80.0) << "the newest buffer is a quiet one";

    const auto interval = service->takeInterval();
    EXPECT_EQ(interval.frames, frames);
    EXPECT_DOUBLE_EQ(interval.durationSeconds, static_cast<double>(frames) / 48000.0);
    EXPECT_NEAR(interval.laeq, 10.0 * std::log10(energy / static_cast<double>(frames)), 1e-9);
    EXPECT_EQ(interval.peakDBC, peakDBC);
    EXPECT_NEAR(interval.peakDBC, 94.0, 0.3);
    EXPECT_FALSE(service->takeInterval().hasAudio());
}

TEST_F(AudioMeasurementServiceTest, StartNeedsPermissionAndDoesNothingWhileRunning) {
    service->start();
    service->start();
    EXPECT_EQ(backend.openCount(), 1);
    service->stop();

    backend.permission = MicrophonePermission::Denied;
    AudioMeasurementService denied(backend, *manager, clock, 94.0);
    EXPECT_FALSE(denied.hasPermission());
    denied.start();
    EXPECT_FALSE(denied.isRunning());
    EXPECT_EQ(backend.openCount(), 1);

    // Not yet determined: the answer arrives later on the main thread.
    backend.permission = MicrophonePermission::NotDetermined;
    AudioMeasurementService asked(backend, *manager, clock, 94.0);
    EXPECT_FALSE(asked.hasPermission());
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(asked.hasPermission());
}

namespace {

// Silences everything it is given and remembers the rate it was called with.
class MutingCorrection : public kavro::dsp::MicCorrectionHook {
public:
    void apply(std::span<float> samples, double sampleRate) override {
        std::fill(samples.begin(), samples.end(), 0.0f);
        lastRate = sampleRate;
    }
    std::atomic<double> lastRate{0};
};

} // namespace

TEST_F(AudioMeasurementServiceTest, RawTapSeesSamplesBeforeTheCorrection) {
    MutingCorrection correction;
    service->setMicFreqCorrection(&correction);
    std::vector<float> tapped;
    double tappedRate = 0;
    service->setRawSampleCallback([&](std::span<const float> samples, double rate) {
        tapped.assign(samples.begin(), samples.end());
        tappedRate = rate;
    });
    service->start();
    SineSource source(1000, 48000);
    const auto buffer = source.next(1023);
    feed(buffer);
    EXPECT_EQ(tapped, buffer);
    EXPECT_EQ(tappedRate, 48000.0);
    EXPECT_EQ(correction.lastRate.load(), 48000.0);
    // The correction runs before the weighting: a muted buffer measures nothing.
    EXPECT_EQ(service->currentSPL(), 0.0);
    EXPECT_EQ(service->peakDBC(), 0.0);

    // stop() removes the tap for good; a restart does not bring it back.
    service->stop();
    EXPECT_FALSE(service->hasRawSampleCallback());
    tapped.clear();
    service->start();
    feed(source.next());
    EXPECT_TRUE(tapped.empty());
    service->setMicFreqCorrection(nullptr);
}

// Empty buffers publish nothing; a non-finite sample from a broken driver must not stop
// the meter for good.
TEST_F(AudioMeasurementServiceTest, SkipsEmptyBuffersAndRecoversFromNonFiniteSamples) {
    service->start();
    int changes = 0;
    QObject::connect(service.get(), &AudioMeasurementService::changed, [&] { ++changes; });
    feed({});
    EXPECT_EQ(changes, 0);
    std::vector<float> broken(1025, 0.1f);
    broken[100] = std::numeric_limits<float>::quiet_NaN();
    feed(broken);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(service->lastBuffer().frames, 1025u);
    SineSource source(1000, 48000);
    for (int i = 0; i < 30; ++i) {
        feed(source.next());
    }
    EXPECT_NEAR(service->currentSPL(), 90.99, 0.1);
}

TEST_F(AudioMeasurementServiceTest, StartRoutesToTheSelectionAndTheFiltersFollowTheDeviceRate) {
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
    // Buffers of one whole 100 Hz cycle each, so that every buffer's RMS is exact: the
    // level is the A-weighting of 44.1 kHz at 100 Hz, not that of 48 kHz.
    SineSource low(100, 44100);
    for (int i = 0; i < 40; ++i) {
        feed(low.next(441));
    }
    const double weighting = 20.0 * std::log10(kavro::dsp::AWeightingFilter(44100).magnitudeAt(100));
    EXPECT_NEAR(levelDb(service->lastBuffer().rmsA, 94.0), 90.99 + weighting, 0.02);

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

void PrintTo(const FormatFailure& failure, std::ostream* os) {
    *os << failure.sampleRate << " Hz " << failure.channels << " channels"
        << (failure.startError ? " refused" : "");
}

class AudioMeasurementStartFailureTest : public AudioMeasurementServiceTest,
                                         public ::testing::WithParamInterface<FormatFailure> {};

TEST_P(AudioMeasurementStartFailureTest, ReportsAndStaysStopped) {
    const FormatFailure& c = GetParam();
    backend.captureFormat = {c.sampleRate, c.channels};
    backend.startError = c.startError;
    QSignalSpy problems(service.get(), &AudioMeasurementService::problem);
    service->start();
    ASSERT_EQ(problems.count(), 2);
    EXPECT_EQ(problems.at(0).at(0).toString(), c.line);
    EXPECT_EQ(problems.at(1).at(0).toString(), "[Kavro] No usable audio input — retrying");
    EXPECT_FALSE(service->isRunning());
    EXPECT_TRUE(service->isRetrying());
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
                      "[Kavro] Failed to start audio engine: device busy"}),
    kavro::testing::PrintedName());

TEST_F(AudioMeasurementServiceTest, SwitchDeviceRestartsOnceAfterTheDelay) {
    service->switchDevice();
    QTest::qWait(250);
    EXPECT_EQ(backend.openCount(), 0) << "nothing happens while stopped";

    service->start();
    manager->selectDevice("builtin");
    service->switchDevice();
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(backend.stream(), nullptr);
    QTest::qWait(150);
    EXPECT_FALSE(service->isRunning()) << "not before 0.2 s";
    ASSERT_TRUE(waitUntil([&] { return service->isRunning(); }, 300));
    EXPECT_EQ(backend.openCount(), 2);
    EXPECT_EQ(backend.stream()->deviceUid(), "builtin");
    QTest::qWait(250);
    EXPECT_EQ(backend.openCount(), 2) << "exactly one restart";
}

TEST_F(AudioMeasurementServiceTest, StopDuringAPendingSwitchKeepsCaptureOff) {
    service->start();
    service->switchDevice();
    service->stop();
    QTest::qWait(300);
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(backend.openCount(), 1);

    // A start while the switch is pending runs at once; the delayed one then does nothing.
    service->switchDevice();
    service->start();
    QTest::qWait(300);
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(backend.openCount(), 2);
}

// A chosen microphone that vanishes (unplugged, or its server gone) is waited for, not
// replaced by another input, and capture resumes on it once its audio flows again.
TEST_F(AudioMeasurementServiceTest, AVanishedChosenInputIsWaitedForAndResumed) {
    manager->selectDevice("usb");
    service->start();
    feed(SineSource(1000, 48000).next(), 5);
    ASSERT_GT(service->currentSPL(), 0);

    backend.inputs.removeFirst();
    backend.stream()->notifyConfigurationChanged();
    EXPECT_FALSE(backend.stream()->isStarted()) << "paused at once";
    backend.stream()->notifyConfigurationChanged();
    ASSERT_TRUE(waitUntil([&] { return service->isRetrying(); }, 1000));
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(service->currentSPL(), 0);
    EXPECT_EQ(losses, 1);
    EXPECT_FALSE(manager->hasInputDevice("usb")) << "the lists were refreshed";

    retryFor(20.0);
    EXPECT_EQ(backend.openCount(), 1) << "the built-in input does not stand in for it";
    backend.inputs.prepend(input("usb", 4));
    manager->refreshDevices();
    retryFor(5.0);
    ASSERT_TRUE(service->isRunning());
    EXPECT_EQ(backend.stream()->deviceUid(), "usb");
    EXPECT_TRUE(service->isRetrying()) << "until audio flows";
    feed(SineSource(1000, 48000).next());
    EXPECT_FALSE(service->isRetrying());
    EXPECT_EQ(resumptions, 1);
    EXPECT_EQ(disconnects, 0);

    // Ending capture while it waits ends the tries.
    backend.inputs.removeFirst();
    backend.stream()->notifyConfigurationChanged();
    ASSERT_TRUE(waitUntil([&] { return service->isRetrying(); }, 1000));
    service->stop();
    backend.inputs.prepend(input("usb", 4));
    retryFor(40.0);
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(backend.openCount(), 2);
    EXPECT_EQ(disconnects, 0);
}

// Tries come 1 s after the loss, then at doubling steps up to every 5 s, each with the
// timer set for the next (no busy loop); after 30 s without input the owner hears of it
// once and the tries go on. A stream that starts but delivers nothing is given up.
TEST_F(AudioMeasurementServiceTest, RetriesBackOffAndTheLossIsReportedOnceAfter30Seconds) {
    backend.startError = QStringLiteral("device busy");
    service->start();
    ASSERT_TRUE(service->isRetrying());
    const auto* timer = service->findChild<QTimer*>();
    ASSERT_NE(timer, nullptr);
    std::vector<int> attemptTenths;
    std::vector<int> reportTenths;
    for (int tenth = 1; tenth <= 450; ++tenth) {
        const int opened = backend.openCount();
        const int reported = disconnects;
        clock.advance(0.1);
        service->watchTick();
        if (backend.openCount() != opened) {
            attemptTenths.push_back(tenth);
            EXPECT_GE(timer->interval(), 1000) << "after the try at " << tenth;
        }
        if (disconnects != reported) {
            reportTenths.push_back(tenth);
        }
    }
    EXPECT_EQ(attemptTenths, (std::vector<int>{10, 30, 70, 120, 170, 220, 270, 320, 370, 420}));
    EXPECT_EQ(reportTenths, std::vector<int>{300});
    EXPECT_EQ(losses, 1);

    backend.startError.reset();
    retryFor(2.0);
    ASSERT_TRUE(service->isRunning()) << "started at 47 s";
    retryFor(4.0);
    EXPECT_FALSE(service->isRunning()) << "nothing arrived for 4 s";
    retryFor(5.0);
    ASSERT_TRUE(service->isRunning());
    feed(SineSource(1000, 48000).next());
    EXPECT_FALSE(service->isRetrying());
    EXPECT_EQ(resumptions, 1);
    EXPECT_EQ(losses, 1) << "one loss from start to the first buffer";
    EXPECT_EQ(disconnects, 1);
}

TEST_F(AudioMeasurementServiceTest, ChangeElsewhereResumesTheSameStream) {
    service->start();
    auto* stream = backend.stream();
    backend.inputs.removeLast();
    stream->notifyConfigurationChanged();
    ASSERT_TRUE(waitUntil([&] { return stream->isStarted(); }, 700));
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(backend.openCount(), 1);
    EXPECT_EQ(stream->reopenCount(), 1);
    EXPECT_EQ(manager->inputDevices().size(), 1);
    EXPECT_EQ(disconnects, 0);
    EXPECT_EQ(service->currentSampleRate(), 48000.0);
}

TEST_F(AudioMeasurementServiceTest, RateChangeRetunesAndRestartsTheLevelFromZero) {
    backend.captureFormat = {44100.0, 1};
    service->start();
    feed(SineSource(1000, 44100).next(), 30);
    ASSERT_NEAR(service->currentSPL(), 90.99, 0.1);

    backend.captureFormat = {48000.0, 1};
    backend.stream()->notifyConfigurationChanged();
    ASSERT_TRUE(waitUntil([&] { return backend.stream()->isStarted(); }, 700));
    EXPECT_EQ(service->currentSampleRate(), 48000.0);
    // Filters tuned to 48 kHz and smoothing from 0: the first level after the change
    // is 0.3 times the buffer's level, as after a start.
    feed(SineSource(1000, 48000).next());
    EXPECT_NEAR(service->currentSPL(), 0.3 * 90.99, 0.3);
}

TEST_F(AudioMeasurementServiceTest, FailedResumeDoesAFullRestart) {
    manager->selectDevice("usb");
    manager->setSelectedChannelIndex(1);
    service->start();
    backend.reopenError = QStringLiteral("device busy");
    QSignalSpy problems(service.get(), &AudioMeasurementService::problem);
    backend.stream()->notifyConfigurationChanged();
    const bool restarted = waitUntil([&] { return backend.openCount() == 2; }, 700);
    ASSERT_EQ(problems.count(), 1);
    EXPECT_EQ(problems.at(0).at(0).toString(),
              "[Kavro] Engine restart after config change failed (device busy) — doing full restart");
    ASSERT_TRUE(restarted);
    EXPECT_TRUE(service->isRunning());
    EXPECT_TRUE(backend.stream()->isStarted());
    EXPECT_EQ(backend.stream()->deviceChannel(), 1);
}

TEST_F(AudioMeasurementServiceTest, StopWhilePausedLeavesThePendingResumeWithNothingToDo) {
    manager->selectDevice("usb");
    service->start();
    backend.inputs.clear();
    backend.stream()->notifyConfigurationChanged();
    service->stop();
    QTest::qWait(600);
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(disconnects, 0);
    EXPECT_EQ(backend.openCount(), 1);
    EXPECT_EQ(manager->inputDevices().size(), 2) << "no refresh ran";
}
