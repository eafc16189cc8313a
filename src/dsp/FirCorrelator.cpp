#include "dsp/FirCorrelator.h"

#include <algorithm>

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

// Outputs computed together, held in registers across the whole tap loop.
constexpr std::size_t kBlock = 16;

} // namespace

void correlate(const float* __restrict input, const float* __restrict taps, std::size_t tapCount,
               float* __restrict output, std::size_t frames) {
    std::size_t n = 0;
    // The fixed-width inner loop is what the compiler turns into vector instructions:
    // each tap is one multiply-add across the block, and the sums keep the tap order.
    for (; n + kBlock <= frames; n += kBlock) {
        float sums[kBlock] = {};
        const float* window = input + n;
        for (std::size_t p = 0; p < tapCount; ++p) {
            const float tap = taps[p];
            for (std::size_t i = 0; i < kBlock; ++i) {
                sums[i] += window[p + i] * tap;
            }
        }
        std::copy_n(sums, kBlock, output + n);
    }
    for (; n < frames; ++n) {
        float sum = 0.0f;
        for (std::size_t p = 0; p < tapCount; ++p) {
            sum += input[n + p] * taps[p];
        }
        output[n] = sum;
    }
}

} // namespace kavro::dsp
