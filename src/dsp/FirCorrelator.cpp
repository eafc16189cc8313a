// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/FirCorrelator.h"

#include <algorithm>
#include <cstring>

namespace kavro::dsp {

void FirCorrelator::setTaps(std::span<const float> taps) {
    m_taps.assign(taps.begin(), taps.end());
    m_scratch.assign(historyLength() + kChunkFrames, 0.0f);
}

void FirCorrelator::clear() {
    m_taps.clear();
    m_scratch.clear();
}

void FirCorrelator::resetHistory() {
    std::fill(m_scratch.begin(), m_scratch.begin() + static_cast<std::ptrdiff_t>(historyLength()), 0.0f);
}

void FirCorrelator::process(std::span<float> samples) {
    if (m_taps.empty()) {
        return;
    }
    const std::size_t history = historyLength();
    float* const scratch = m_scratch.data();
    for (std::size_t start = 0; start < samples.size(); start += kChunkFrames) {
        const std::size_t frames = std::min(kChunkFrames, samples.size() - start);
        float* const chunk = samples.data() + start;
        std::copy_n(chunk, frames, scratch + history);
        correlate(scratch, m_taps.data(), m_taps.size(), chunk, frames);
        // The newest L − 1 inputs become the history; with a chunk shorter than that,
        // part of the old history stays in it.
        std::copy_n(scratch + frames, history, scratch);
    }
}

namespace {

// Outputs computed together: four vectors of eight, held in registers across the whole
// tap loop. GCC and Clang left to themselves keep such a block in memory (measured four
// times slower), so the block is written with their vector types. On x86-64 Linux a
// second copy is built for AVX2 and picked at load time, which halves the time again;
// without AVX2 each vector is split into two SSE halves. Every lane sums in tap order
// with separate multiplies and adds, so both copies give bit-identical results.
constexpr std::size_t kBlock = 64;

#if defined(__GNUC__)
// The clone is chosen by a resolver that runs before the sanitizer runtimes are up;
// instrumented, it crashes at load, so sanitizer builds keep the one portable copy.
#if defined(__x86_64__) && defined(__linux__) && !defined(__SANITIZE_THREAD__) &&                            \
    !defined(__SANITIZE_ADDRESS__)
#define KAVRO_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define KAVRO_VECTOR_CLONES
#endif

using Vector16 = float __attribute__((vector_size(64)));

KAVRO_VECTOR_CLONES
void correlateBlocks(const float* input, const float* taps, std::size_t tapCount, float* output,
                     std::size_t blocks) {
    for (std::size_t block = 0; block < blocks; ++block) {
        const float* window = input + block * kBlock;
        Vector16 s0 = {}, s1 = {}, s2 = {}, s3 = {};
        for (std::size_t p = 0; p < tapCount; ++p) {
            const float t = taps[p];
            const Vector16 tap = {t, t, t, t, t, t, t, t, t, t, t, t, t, t, t, t};
            Vector16 x0, x1, x2, x3;
            std::memcpy(&x0, window + p, sizeof x0);
            std::memcpy(&x1, window + p + 16, sizeof x1);
            std::memcpy(&x2, window + p + 32, sizeof x2);
            std::memcpy(&x3, window + p + 48, sizeof x3);
            s0 += x0 * tap;
            s1 += x1 * tap;
            s2 += x2 * tap;
            s3 += x3 * tap;
        }
        float* target = output + block * kBlock;
        std::memcpy(target, &s0, sizeof s0);
        std::memcpy(target + 16, &s1, sizeof s1);
        std::memcpy(target + 32, &s2, sizeof s2);
        std::memcpy(target + 48, &s3, sizeof s3);
    }
}
#undef KAVRO_VECTOR_CLONES
#else
void correlateBlocks(const float* input, const float* taps, std::size_t tapCount, float* output,
                     std::size_t blocks) {
    for (std::size_t block = 0; block < blocks; ++block) {
        float sums[kBlock] = {};
        for (std::size_t p = 0; p < tapCount; ++p) {
            for (std::size_t i = 0; i < kBlock; ++i) {
                sums[i] += input[block * kBlock + p + i] * taps[p];
            }
        }
        std::copy_n(sums, kBlock, output + block * kBlock);
    }
}
#endif

} // namespace

void correlate(const float* __restrict input, const float* __restrict taps, std::size_t tapCount,
               float* __restrict output, std::size_t frames) {
    // Every lane sums its products in tap order, exactly as the scalar tail does, so
    // the result does not depend on where a block boundary falls.
    const std::size_t blocks = frames / kBlock;
    correlateBlocks(input, taps, tapCount, output, blocks);
    for (std::size_t n = blocks * kBlock; n < frames; ++n) {
        float sum = 0.0f;
        for (std::size_t p = 0; p < tapCount; ++p) {
            sum += input[n + p] * taps[p];
        }
        output[n] = sum;
    }
}

} // namespace kavro::dsp
