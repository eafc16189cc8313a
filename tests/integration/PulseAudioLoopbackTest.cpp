// SPDX-License-Identifier: GPL-3.0-or-later
// Real capture and playback against the private PulseAudio server of
// scripts/with-test-servers. Every test builds its own null sinks with remapped
// sources on their monitors, so what a test plays there, it hears, untouched by tests
// running beside it.
#include "dsp/AWeightingFilter.h"
#include "dsp/CWeightingFilter.h"
#include "dsp/PinkNoiseGenerator.h"
#include "integration/PulseAudioFixture.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/qt/SystemClock.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/PinkNoisePlayer.h"
#include "support/ParamNames.h"

namespace {

using kavro::platform::MemoryPreferencesStore;
using kavro::services::AudioDeviceManager;
using kavro::services::AudioMeasurementService;
using kavro::services::PinkNoisePlayer;
using kavro::testing::pactl;
using kavro::testing::PulseAudioFixture;
using kavro::testing::waitUntil;

constexpr double kOffset = 94.0;

// The average weighted level of the buffers published while the event loop runs.
struct LevelAverage {
    kavro::dsp::IntervalLevels levels;
    bool allFullBuffers = true;

    double dBA() const { return levels.laeq; }
    double dBC() const { return levels.lceq; }
};

class PulseAudioLoopbackTest : public PulseAudioFixture {
protected:
    void TearDown() override {
        service.reset();
        manager.reset();
        PulseAudioFixture::TearDown();
    }

    void makeService(const QString& source, int channel = 0) {
        manager = std::make_unique<AudioDeviceManager>(*backend, preferences);
        manager->selectDevice(source);
        manager->setSelectedChannelIndex(channel);
        service = std::make_unique<AudioMeasurementService>(*backend, *manager, clock, kOffset);
        service->onDeviceDisconnected = [this] { ++disconnects; };
    }

    // Waits for buffers to flow (an idle null sink wakes up to two seconds late), lets
    // the signal settle, then takes the levels of every buffer measured for a while.
    LevelAverage measure(int settleMs = 500, int measureMs = 1500) {
        EXPECT_TRUE(waitUntil([&] { return service->lastBuffer().frames > 0; }, 4000));
        QTest::qWait(settleMs);
        (void)service->takeInterval();
        LevelAverage average;
        const auto connection = QObject::connect(service.get(), &AudioMeasurementService::changed, [&] {
            average.allFullBuffers = average.allFullBuffers && service->lastBuffer().frames % 1024 == 0;
        });
        QTest::qWait(measureMs);
        QObject::disconnect(connection);
        average.levels = service->takeInterval();
        return average;
    }

    // The A-weighted level a 1024-frame-buffered tone reads through the filter at a rate.
    static double toneLevelA(double amplitude, double frequency, double rate) {
        kavro::dsp::AWeightingFilter filter(rate);
        return 20 * std::log10(amplitude / std::sqrt(2.0) * filter.magnitudeAt(frequency)) + kOffset;
    }

    MemoryPreferencesStore preferences;
    kavro::platform::SystemClock clock;
    std::unique_ptr<AudioDeviceManager> manager;
    std::unique_ptr<AudioMeasurementService> service;
    int disconnects = 0;
};

TEST_F(PulseAudioLoopbackTest, PinkNoiseReadsTheLevelsOfItsOwnSamples) {
    const auto [sink, source, module] = loadLoopback("pink", 44100);
    PinkNoisePlayer player(*backend);
    ASSERT_TRUE(player.start(sink));
    makeService(source);
    service->start();
    ASSERT_TRUE(service->isRunning());
    EXPECT_EQ(service->currentSampleRate(), 44100.0);
    const LevelAverage captured = measure(500, 3000);
    player.stop();

    // The same generator's samples, offline, through the same filters.
    kavro::dsp::PinkNoiseGenerator generator;
    kavro::dsp::AWeightingFilter aFilter(44100);
    kavro::dsp::CWeightingFilter cFilter(44100);
    std::vector<float> a(44100 * 10);
    for (auto& s : a) {
        s = generator.next();
    }
    std::vector<float> c = a;
    aFilter.process(a);
    cFilter.process(c);
    double sumA = 0;
    double sumC = 0;
    for (std::size_t i = 44100; i < a.size(); ++i) {
        sumA += double(a[i]) * a[i];
        sumC += double(c[i]) * c[i];
    }
    const double frames = double(a.size() - 44100);
    ASSERT_GT(captured.levels.frames, 44100 * 2);
    EXPECT_TRUE(captured.allFullBuffers);
    EXPECT_NEAR(captured.dBA(), 10 * std::log10(sumA / frames) + kOffset, 0.5);
    EXPECT_NEAR(captured.dBC(), 10 * std::log10(sumC / frames) + kOffset, 0.5);
}

TEST_F(PulseAudioLoopbackTest, NewSourceIsListedAndSwitchDeviceMovesCapture) {
    const auto [sinkA, sourceA, moduleA] = loadLoopback("a", 48000);
    play(sinkA, 48000, {1000, 0.5, 0.5});
    makeService(sourceA);
    service->start();
    const double loud = measure().dBA();
    EXPECT_NEAR(loud, toneLevelA(0.5, 1000, 48000), 0.5);

    // A source loaded while capturing appears in the list with its UID and description.
    const auto [sinkB, sourceB, moduleB] = loadLoopback("b", 48000);
    play(sinkB, 48000, {1000, 0.05, 0.05});
    ASSERT_TRUE(waitUntil([&] { return manager->hasInputDevice(sourceB); }, 3000));
    const auto& devices = manager->inputDevices();
    const auto b =
        std::find_if(devices.begin(), devices.end(), [&](const auto& d) { return d.uid == sourceB; });
    EXPECT_EQ(b->displayName(), "Kavro_b_mic");
    EXPECT_TRUE(b->hasInput);

    manager->selectDevice(sourceB);
    service->switchDevice();
    ASSERT_TRUE(waitUntil([&] { return service->isRunning(); }, 1000));
    EXPECT_NEAR(measure().dBA(), loud - 20, 0.5);
}

TEST_F(PulseAudioLoopbackTest, UnloadingAnotherSourceKeepsCaptureRunning) {
    const auto [sink, source, module] = loadLoopback("keep", 48000);
    const auto other = loadLoopback("other", 48000);
    play(sink, 48000, {1000, 0.5, 0.5});
    makeService(source);
    service->start();
    ASSERT_TRUE(waitUntil([&] { return service->currentSPL() > 50; }, 4000));
    unloadModule(other.sourceModule);
    ASSERT_TRUE(waitUntil([&] { return !manager->hasInputDevice(other.source); }, 3000));
    const LevelAverage after = measure(800, 1000);
    EXPECT_TRUE(service->isRunning());
    EXPECT_EQ(disconnects, 0);
    EXPECT_NEAR(after.dBA(), toneLevelA(0.5, 1000, 48000), 0.5);
}

// A chosen source that goes away (a USB microphone replugged) is waited for, and
// capture resumes on it when it is back.
TEST_F(PulseAudioLoopbackTest, UnloadingTheSelectedSourceWaitsForItsReturn) {
    const auto [sink, source, module] = loadLoopback("gone", 48000);
    play(sink, 48000, {1000, 0.5, 0.5});
    makeService(source);
    service->start();
    ASSERT_TRUE(waitUntil([&] { return service->currentSPL() > 50; }, 4000));
    unloadModule(module);
    ASSERT_TRUE(waitUntil([&] { return service->isRetrying(); }, 4000));
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(service->currentSPL(), 0);

    const QString again = pactl({"load-module", "module-remap-source", "master=" + sink + ".monitor",
                                 "source_name=" + source, "rate=48000"});
    EXPECT_TRUE(waitUntil([&] { return !service->isRetrying(); }, 10000));
    EXPECT_TRUE(waitUntil([&] { return service->currentSPL() > 50; }, 4000));
    EXPECT_EQ(disconnects, 0);
    service.reset();
    pactl({"unload-module", again});
}

TEST_F(PulseAudioLoopbackTest, SecondChannelMeasuresTheSecondSignal) {
    const auto [sink, source, module] = loadLoopback("stereo", 48000, 2);
    play(sink, 48000, {1000, 0.5, 0.05});
    makeService(source, 0);
    ASSERT_EQ(manager->availableInputChannels().size(), 2);
    service->start();
    const double left = measure().dBA();
    EXPECT_NEAR(left, toneLevelA(0.5, 1000, 48000), 0.5);

    manager->setSelectedChannelIndex(1);
    service->switchDevice();
    ASSERT_TRUE(waitUntil([&] { return service->isRunning(); }, 1000));
    EXPECT_NEAR(measure().dBA(), toneLevelA(0.05, 1000, 48000), 0.5);
}

class PulseAudioRateTest : public PulseAudioLoopbackTest, public ::testing::WithParamInterface<int> {};

TEST_P(PulseAudioRateTest, RateAndFiltersFollowTheSource) {
    const int rate = GetParam();
    const auto [sink, source, module] = loadLoopback(QStringLiteral("rate%1").arg(rate), rate);
    // 100 Hz sits on the steep low end of the A curve: filters designed for the other
    // rate would read it about 1 dB off.
    play(sink, rate, {100, 0.5, 0.5});
    makeService(source);
    service->start();
    EXPECT_EQ(service->currentSampleRate(), double(rate));
    const LevelAverage level = measure();
    EXPECT_TRUE(level.allFullBuffers);
    EXPECT_NEAR(level.dBA(), toneLevelA(0.5, 100, rate), 0.3);
}

INSTANTIATE_TEST_SUITE_P(Rates, PulseAudioRateTest, ::testing::Values(44100, 48000),
                         kavro::testing::PrintedName());

} // namespace
