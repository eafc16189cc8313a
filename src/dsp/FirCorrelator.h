// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace kavro::dsp {

// A streaming FIR filter in correlation form: output[n] = Σ_p input[n + p] · taps[p],
// where input is the last (L − 1) samples seen followed by the new ones. The last tap
// therefore meets the newest sample; for symmetric taps this is ordinary convolution.
//
// process() never allocates: the concatenated input lives in a scratch buffer sized
// when the taps are set, and longer buffers are filtered in pieces of that size (the
// carried history makes the pieces join seamlessly).
class FirCorrelator {
public:
    static constexpr std::size_t kChunkFrames = 1024;

    // Installs taps with a silent history; allocates, so call it off the audio thread.
    void setTaps(std::span<const float> taps);
    // Removes the taps; process() then leaves samples unchanged.
    void clear();
    // Zeroes the carried history, keeping the taps.
    void resetHistory();

    bool hasTaps() const { return !m_taps.empty(); }
    const std::vector<float>& taps() const { return m_taps; }
    // The last (L − 1) input samples, oldest first.
    std::span<const float> history() const { return {m_scratch.data(), historyLength()}; }

    // Filters in place. Without taps the samples stay as they are.
    void process(std::span<float> samples);

private:
    std::size_t historyLength() const { return m_taps.empty() ? 0 : m_taps.size() - 1; }

    std::vector<float> m_taps;
    // [history (L − 1) | up to kChunkFrames new samples]
    std::vector<float> m_scratch;
};

// The correlation kernel on its own: output[n] = Σ_{p<tapCount} input[n + p] · taps[p]
// for n < frames; input holds frames + tapCount − 1 values. The sum for each output
// runs over p in ascending order, so results do not depend on how a stream is split.
void correlate(const float* input, const float* taps, std::size_t tapCount, float* output,
               std::size_t frames);

} // namespace kavro::dsp
