// SPDX-License-Identifier: GPL-3.0-or-later
// The capture thread's work per buffer: the whole measurement pipeline for one
// 1024-frame buffer at 48 kHz, the level meter and the weighting filters on their own;
// and the main thread's share, adding each buffer to the feed's interval.
#include "dsp/AWeightingFilter.h"
#include "dsp/CWeightingFilter.h"
#include "dsp/IntervalAccumulator.h"
#include "dsp/LevelMeter.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/MicFrequencyCorrection.h"

#include "BenchProfiles.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

std::vector<float> testSignal(std::size_t frames) {
    std::vector<float> samples(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        samples[i] = static_cast<float>(
            0.5 * std::sin(2.0 * std::numbers::pi * 997.0 * static_cast<double>(i) / 48000.0) +
            0.1 * std::sin(2.0 * std::numbers::pi * 63.0 * static_cast<double>(i) / 48000.0));
    }
    return samples;
}

void reportRealTime(benchmark::State& state, std::size_t frames) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
    // Seconds of audio per second of work: the real-time factor.
    state.counters["realtime_x"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(frames) / 48000.0,
                           benchmark::Counter::kIsRate);
}

void BM_WeightingSectionBySection(benchmark::State& state) {
    kavro::dsp::AWeightingFilter a(48000);
    kavro::dsp::CWeightingFilter c(48000);
    const auto input = testSignal(1024);
    std::vector<float> outA(1024), outC(1024);
    for (auto _ : state) {
        outA = input;
        outC = input;
        a.process(outA);
        c.process(outC);
        benchmark::DoNotOptimize(outA.data());
        benchmark::DoNotOptimize(outC.data());
    }
    reportRealTime(state, 1024);
}
BENCHMARK(BM_WeightingSectionBySection);

void BM_WeightingInterleaved(benchmark::State& state) {
    kavro::dsp::AWeightingFilter a(48000);
    kavro::dsp::CWeightingFilter c(48000);
    const auto input = testSignal(1024);
    std::vector<float> outA(1024), outC(1024);
    for (auto _ : state) {
        kavro::dsp::processInterleaved(a, c, input, outA, outC);
        benchmark::DoNotOptimize(outA.data());
        benchmark::DoNotOptimize(outC.data());
    }
    reportRealTime(state, 1024);
}
BENCHMARK(BM_WeightingInterleaved);

// The level meter alone: weighting, RMS and peaks, smoothing (no correction, no post).
void BM_LevelMeter(benchmark::State& state) {
    kavro::dsp::LevelMeter meter(48000);
    const auto input = testSignal(1024);
    for (auto _ : state) {
        benchmark::DoNotOptimize(meter.process(input, 94.0));
    }
    reportRealTime(state, 1024);
}
BENCHMARK(BM_LevelMeter);

// What every published buffer adds on the main thread for the feed: its energy and
// peaks into the interval, taken every fifth buffer as the 0.1 s ticks at 48 kHz do.
void BM_IntervalAccumulator(benchmark::State& state) {
    kavro::dsp::LevelMeter meter(48000);
    const kavro::dsp::MeterReading reading = meter.process(testSignal(1024), 94.0);
    kavro::dsp::IntervalAccumulator interval;
    int buffers = 0;
    for (auto _ : state) {
        interval.add(reading, 48000.0);
        if (++buffers == 5) {
            benchmark::DoNotOptimize(interval.take());
            buffers = 0;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_IntervalAccumulator);

// The whole per-buffer pipeline as the capture thread runs it: copy, weighting, RMS
// and peaks, smoothing and the post to the main thread. Delivering the posted updates
// is main-thread work and is left out of the timing. Argument 1 switches the 128-tap
// microphone correction on.
void BM_MeasurementPipeline(benchmark::State& state) {
    int argc = 1;
    char name[] = "kavro-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    kavro::platform::testing::ScriptedAudioBackend backend;
    kavro::platform::MemoryPreferencesStore preferences;
    kavro::services::AudioDeviceManager devices(backend, preferences);
    kavro::platform::testing::ManualClock clock;
    kavro::services::AudioMeasurementService service(backend, devices, clock, 94.0);
    kavro::services::MicFrequencyCorrection correction(preferences);
    if (state.range(0) != 0) {
        correction.save(kavro::bench::correctionProfile(48000.0));
        correction.setIsEnabled(true);
        service.setMicFreqCorrection(&correction);
    }
    service.start();
    const auto input = testSignal(1024);
    std::size_t sincePump = 0;
    for (auto _ : state) {
        service.processAudioBuffer(input);
        if (++sincePump == 256) {
            state.PauseTiming();
            QCoreApplication::sendPostedEvents(&service);
            sincePump = 0;
            state.ResumeTiming();
        }
    }
    QCoreApplication::sendPostedEvents(&service);
    service.stop();
    reportRealTime(state, 1024);
}
BENCHMARK(BM_MeasurementPipeline)->ArgName("correction")->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
