#include "services/AudioMeasurementService.h"
#include "dsp/MicCorrectionHook.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "services/AudioDeviceManager.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

using kavro::platform::MemoryPreferencesStore;
using kavro::platform::MicrophonePermission;
using kavro::platform::testing::ScriptedAudioBackend;
using kavro::services::AudioDeviceManager;
using kavro::services::AudioMeasurementService;

namespace {

// A continuous sine cut into consecutive buffers.
class SineSource {
public:
    SineSource(double frequency, double sampleRate, double amplitude = 1.0)
        : m_frequency(frequency), m_sampleRate(sampleRate), m_amplitude(amplitude) {}
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
    double m_frequency, m_sampleRate, m_amplitude;
    std::int64_t m_position = 0;
};

double levelDb(double rms, double offset) {
    return 20.0 * std::log10(rms) + offset;
}

class MeasurementPipeline : public ::testing::Test {
protected:
    void SetUp() override {
        devices = std::make_unique<AudioDeviceManager>(backend, preferences);
        service = std::make_unique<AudioMeasurementService>(backend, *devices, 94.0);
    }

    // Delivers buffers on the scripted capture thread and then the posted updates on
    // this (the main) thread.
    void feed(std::vector<float> buffer) {
        ASSERT_NE(backend.stream(), nullptr);
        backend.stream()->deliver({std::move(buffer)});
        QCoreApplication::sendPostedEvents();
    }

    ScriptedAudioBackend backend;
    MemoryPreferencesStore preferences;
    std::unique_ptr<AudioDeviceManager> devices;
    std::unique_ptr<AudioMeasurementService> service;
};

} // namespace

TEST_F(MeasurementPipeline, FullScaleSineClimbsToItsLevel) {
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
        if (i >= 1) {
            EXPECT_NEAR(service->peakDBA(), 94.0, 0.02) << "buffer " << i;
            EXPECT_NEAR(service->peakDBC(), 94.0, 0.02) << "buffer " << i;
        }
    }
    EXPECT_NEAR(published[0], 27.3, 0.05);
    EXPECT_NEAR(published[1], 46.4, 0.05);
    EXPECT_NEAR(published[19], 90.99, 0.1);
    EXPECT_NEAR(service->currentDBC(), 90.99, 0.1);
    EXPECT_FALSE(service->peakAlert());
}

TEST_F(MeasurementPipeline, LevelsAreCappedAndFloored) {
    service->setCalibrationOffset(150.0);
    service->start();
    SineSource source(1000, 48000);
    for (int i = 0; i < 60; ++i) {
        feed(source.next());
    }
    // About 147 dB: the smoothing input is capped at 140, the peaks at 160.
    EXPECT_NEAR(service->currentSPL(), 140.0, 1e-6);
    EXPECT_NEAR(service->currentDBC(), 140.0, 1e-6);
    const double capped = service->currentSPL();
    EXPECT_NEAR(service->peakDBA(), 150.0, 0.02);
    EXPECT_NEAR(service->peakDBC(), 150.0, 0.02);

    // The offset takes effect from the next buffer; a negative level gives 0, not less.
    service->setCalibrationOffset(-200.0);
    feed(source.next());
    EXPECT_DOUBLE_EQ(service->currentSPL(), 0.7 * capped);
    EXPECT_EQ(service->peakDBA(), 0.0);
    EXPECT_EQ(service->peakDBC(), 0.0);
}

TEST_F(MeasurementPipeline, SilenceDecaysTheLevelsAndZeroesThePeaks) {
    service->start();
    SineSource source(1000, 48000);
    for (int i = 0; i < 30; ++i) {
        feed(source.next());
    }
    // The filters ring for a few buffers after the sine stops; then their output is
    // digital silence too, and each silent buffer takes the levels to 0.7 of before.
    for (int i = 0; i < 20; ++i) {
        feed(std::vector<float>(1024, 0.0f));
    }
    const double a = service->currentSPL();
    const double c = service->currentDBC();
    ASSERT_GT(a, 0.0);
    feed(std::vector<float>(1024, 0.0f));
    EXPECT_DOUBLE_EQ(service->currentSPL(), 0.7 * a);
    EXPECT_DOUBLE_EQ(service->currentDBC(), 0.7 * c);
    EXPECT_EQ(service->peakDBA(), 0.0);
    EXPECT_EQ(service->peakDBC(), 0.0);
    EXPECT_FALSE(service->peakAlert());
}

TEST_F(MeasurementPipeline, PeakAlertFollowsEachBuffer) {
    service->setCalibrationOffset(140.0);
    service->start();
    SineSource source(1000, 48000);
    feed(source.next());
    feed(source.next());
    EXPECT_TRUE(service->peakAlert()); // a 140 dBC peak
    source.setAmplitude(0.1);          // 120 dBC once the filters have followed the step
    feed(source.next());
    feed(source.next());
    EXPECT_LT(service->peakDBC(), 135.0);
    EXPECT_FALSE(service->peakAlert());
    source.setAmplitude(1.0);
    feed(source.next());
    EXPECT_TRUE(service->peakAlert());
}

TEST_F(MeasurementPipeline, StopPublishesZerosAndDropsLateUpdates) {
    service->start();
    SineSource source(1000, 48000);
    for (int i = 0; i < 10; ++i) {
        feed(source.next());
    }
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
TEST_F(MeasurementPipeline, TheIntervalHoldsEveryBufferSinceTheLastTake) {
    service->start();
    SineSource source(1000, 48000);
    for (int i = 0; i < 10; ++i) {
        feed(source.next());
    }
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

TEST_F(MeasurementPipeline, StartNeedsPermissionAndDoesNothingWhileRunning) {
    service->start();
    service->start();
    EXPECT_EQ(backend.openCount(), 1);
    service->stop();

    backend.permission = MicrophonePermission::Denied;
    AudioMeasurementService denied(backend, *devices, 94.0);
    EXPECT_FALSE(denied.hasPermission());
    denied.start();
    EXPECT_FALSE(denied.isRunning());
    EXPECT_EQ(backend.openCount(), 1);

    // Not yet determined: the answer arrives later on the main thread.
    backend.permission = MicrophonePermission::NotDetermined;
    AudioMeasurementService asked(backend, *devices, 94.0);
    EXPECT_FALSE(asked.hasPermission());
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(asked.hasPermission());
}

TEST_F(MeasurementPipeline, FiltersFollowTheCaptureRate) {
    backend.captureFormat = {44100.0, 2};
    service->start();
    EXPECT_EQ(service->currentSampleRate(), 44100.0);
    SineSource source(1000, 44100);
    for (int i = 0; i < 5; ++i) {
        feed(source.next());
    }
    EXPECT_NEAR(levelDb(service->lastBuffer().rmsA, 94.0), 90.99, 0.05);
    // Buffers of one whole 100 Hz cycle each, so that every buffer's RMS is exact.
    SineSource low(100, 44100);
    for (int i = 0; i < 40; ++i) {
        feed(low.next(441));
    }
    EXPECT_NEAR(levelDb(service->lastBuffer().rmsA, 94.0), 90.99 - 19.18, 0.02);
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

TEST_F(MeasurementPipeline, RawTapSeesSamplesBeforeTheCorrection) {
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

TEST_F(MeasurementPipeline, EmptyBuffersAreSkipped) {
    service->start();
    int changes = 0;
    QObject::connect(service.get(), &AudioMeasurementService::changed, [&] { ++changes; });
    feed({});
    EXPECT_EQ(changes, 0);
    feed(std::vector<float>(1025, 0.25f));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(service->lastBuffer().frames, 1025u);
}

// A non-finite sample from a broken driver must not stop the meter for good.
TEST_F(MeasurementPipeline, RecoversFromNonFiniteSamples) {
    service->start();
    std::vector<float> broken(1024, 0.1f);
    broken[100] = std::numeric_limits<float>::quiet_NaN();
    feed(broken);
    SineSource source(1000, 48000);
    for (int i = 0; i < 30; ++i) {
        feed(source.next());
    }
    EXPECT_NEAR(service->currentSPL(), 90.99, 0.1);
}
