// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/LevelMath.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kavro::dsp::level {

namespace {

// The largest magnitude of a buffer, starting from `peak`. A NaN never wins (the
// comparison is false), so the order of the comparisons does not matter and four
// lanes can run side by side.
float peakOf(std::span<const float> samples, float peak) {
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    // Four registers, so that each comparison does not wait on the one before.
    __m128 lanes[4] = {_mm_set1_ps(peak), _mm_set1_ps(peak), _mm_set1_ps(peak), _mm_set1_ps(peak)};
    for (; i + 16 <= samples.size(); i += 16) {
        for (std::size_t k = 0; k < 4; ++k) {
            // maxps keeps its second operand unless the first is greater: the rule below.
            lanes[k] = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples.data() + i + 4 * k), magnitude), lanes[k]);
        }
    }
    alignas(16) float partial[16];
    for (std::size_t k = 0; k < 4; ++k) {
        _mm_store_ps(partial + 4 * k, lanes[k]);
    }
    for (const float value : partial) {
        peak = value > peak ? value : peak;
    }
#endif
    for (; i < samples.size(); ++i) {
        const float value = std::fabs(samples[i]);
        peak = value > peak ? value : peak;
    }
    return peak;
}

} // namespace

void measurePair(std::span<const float> first, std::span<const float> second, BufferStatistics& firstResult,
                 BufferStatistics& secondResult) {
    const std::size_t n = std::min(first.size(), second.size());
    double sumFirst = 0.0, sumSecond = 0.0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Both sums in the two lanes of one register: one addition per sample pair.
    __m128d sums = _mm_setzero_pd();
    for (; i < n; ++i) {
        const __m128d x = _mm_cvtps_pd(_mm_unpacklo_ps(_mm_load_ss(&first[i]), _mm_load_ss(&second[i])));
        sums = _mm_add_pd(sums, _mm_mul_pd(x, x));
    }
    _mm_storel_pd(&sumFirst, sums);
    _mm_storeh_pd(&sumSecond, sums);
#endif
    for (; i < n; ++i) {
        const double a = first[i];
        const double c = second[i];
        sumFirst += a * a;
        sumSecond += c * c;
    }
    firstResult = statisticsOf(sumFirst, peakOf(first.first(n), 0.0f), n);
    secondResult = statisticsOf(sumSecond, peakOf(second.first(n), 0.0f), n);
}

double rmsLevelDb(double rmsValue, double calibrationOffset) {
    if (!(rmsValue > kRmsFloor)) {
        return 0.0;
    }
    const double levelDb = 20.0 * std::log10(rmsValue) + calibrationOffset;
    if (levelDb >= kSmoothingInputCapDb) {
        return kSmoothingInputCapDb;
    }
    return levelDb < 0.0 ? 0.0 : levelDb;
}

double peakDb(float peakValue, double calibrationOffset) {
    if (!(peakValue > kPeakFloor)) {
        return 0.0;
    }
    const double levelDb = 20.0 * std::log10(static_cast<double>(peakValue)) + calibrationOffset;
    return std::clamp(levelDb, 0.0, kPeakCapDb);
}

} // namespace kavro::dsp::level
