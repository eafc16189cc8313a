// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics work of one 0.1 s feed tick with a full 30-minute window (18000
// readings): the incremental service against recomputing everything from the window
// as the statistics are defined. Both refresh L10/L50/L90 once every ten readings,
// so the average per call includes that share.
#include "services/LeqStatisticsService.h"
#include "support/NaiveLeqStatistics.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr double kRateHz = 10.0;
constexpr std::size_t kFullWindow = 18000;

// Music-like levels with a little variety, rounded like a meter's readings.
std::vector<double> readings(std::size_t count) {
    std::mt19937 random(7);
    std::normal_distribution<double> level(80.0, 8.0);
    std::vector<double> values(count);
    for (double& value : values) {
        value = std::round(level(random) * 100.0) / 100.0;
    }
    return values;
}

template <typename Statistics> void runFullWindow(benchmark::State& state, Statistics& statistics) {
    const auto levels = readings(kFullWindow + 4096);
    for (std::size_t i = 0; i < kFullWindow; ++i) {
        statistics.addReading(levels[i]);
    }
    std::size_t next = kFullWindow;
    for (auto _ : state) {
        statistics.addReading(levels[next]);
        next = next + 1 < levels.size() ? next + 1 : kFullWindow;
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_LeqAddReadingIncremental(benchmark::State& state) {
    kavro::services::LeqStatisticsService statistics(kRateHz);
    runFullWindow(state, statistics);
    benchmark::DoNotOptimize(statistics.l50());
}
BENCHMARK(BM_LeqAddReadingIncremental);

void BM_LeqAddReadingRecomputed(benchmark::State& state) {
    kavro::testsupport::NaiveLeqStatistics statistics(kRateHz);
    runFullWindow(state, statistics);
    benchmark::DoNotOptimize(statistics.l50);
}
BENCHMARK(BM_LeqAddReadingRecomputed);

} // namespace
