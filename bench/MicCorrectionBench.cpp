// SPDX-License-Identifier: GPL-3.0-or-later
// The microphone correction on the capture thread: the 128-tap filter on one
// 1024-frame buffer at 48 kHz (the pipeline with it is in PipelineBench).
#include "platform/MemoryPreferencesStore.h"
#include "services/MicFrequencyCorrection.h"

#include "BenchProfiles.h"

#include <QDateTime>

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr std::size_t kFrames = 1024;
constexpr double kRate = 48000.0;

std::vector<float> signal() {
    std::vector<float> samples(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) {
        samples[i] = static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * 997.0 * double(i) / kRate));
    }
    return samples;
}

} // namespace

// A windowed-sinc low-pass: symmetric like a measured correction, and no zero taps.
kavro::models::MicCorrectionProfile kavro::bench::correctionProfile(double sampleRate) {
    kavro::models::MicCorrectionProfile result;
    for (int j = 0; j < 128; ++j) {
        const double x = (j - 64) * 0.3;
        const double window = 0.5 * (1 - std::cos(2 * std::numbers::pi * j / 128.0));
        result.taps.push_back(static_cast<float>((x == 0 ? 1.0 : std::sin(x) / x) * window * 0.1));
    }
    result.sampleRate = sampleRate;
    result.measuredDate = QDateTime::currentDateTimeUtc();
    return result;
}

namespace {

void reportRealTime(benchmark::State& state) {
    state.counters["realtime_x"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kFrames / kRate, benchmark::Counter::kIsRate);
}

void BM_MicCorrectionApply(benchmark::State& state) {
    kavro::platform::MemoryPreferencesStore preferences;
    kavro::services::MicFrequencyCorrection correction(preferences);
    correction.save(kavro::bench::correctionProfile(kRate));
    correction.setIsEnabled(true);
    const auto input = signal();
    std::vector<float> buffer(kFrames);
    for (auto _ : state) {
        buffer = input;
        correction.apply(buffer, kRate);
        benchmark::DoNotOptimize(buffer.data());
    }
    reportRealTime(state);
}
BENCHMARK(BM_MicCorrectionApply);

} // namespace
