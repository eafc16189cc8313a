// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/FirCorrelator.h"
#include "support/ParamNames.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using kavro::dsp::FirCorrelator;
using kavro::testing::randomSignal;

namespace {

// The definition, written out: each output sums taps[p] · input[n + p] over p in order,
// where the input is preceded by L − 1 zeros.
std::vector<float> referenceCorrelation(const std::vector<float>& signal, const std::vector<float>& taps) {
    std::vector<float> padded(taps.size() - 1, 0.0f);
    padded.insert(padded.end(), signal.begin(), signal.end());
    std::vector<float> output(signal.size());
    for (std::size_t n = 0; n < signal.size(); ++n) {
        float sum = 0.0f;
        for (std::size_t p = 0; p < taps.size(); ++p) {
            sum += padded[n + p] * taps[p];
        }
        output[n] = sum;
    }
    return output;
}

// Filters a stream in pieces of the given sizes (cycled).
std::vector<float> filterInPieces(FirCorrelator& filter, std::vector<float> signal,
                                  const std::vector<std::size_t>& sizes) {
    std::size_t start = 0;
    for (std::size_t i = 0; start < signal.size(); ++i) {
        const std::size_t size = std::min(sizes[i % sizes.size()], signal.size() - start);
        filter.process(std::span<float>(signal.data() + start, size));
        start += size;
    }
    return signal;
}

class FirCorrelatorSplit : public ::testing::TestWithParam<std::vector<std::size_t>> {};

} // namespace

// However a stream is cut into buffers (single samples, fewer than L − 1 samples,
// odd sizes around the internal piece size, long buffers), the output is bit for bit
// the correlation of the whole stream.
TEST_P(FirCorrelatorSplit, MatchesWholeStreamCorrelation) {
    const auto taps = randomSignal(128, 1);
    const auto signal = randomSignal(9000, 2);
    FirCorrelator filter;
    filter.setTaps(taps);
    EXPECT_EQ(filterInPieces(filter, signal, GetParam()), referenceCorrelation(signal, taps));
    EXPECT_EQ(filter.history().size(), 127u);
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, FirCorrelatorSplit,
                         ::testing::Values(std::vector<std::size_t>{1}, std::vector<std::size_t>{50, 3, 127},
                                           std::vector<std::size_t>{1023, 1025},
                                           std::vector<std::size_t>{1024}, std::vector<std::size_t>{4096, 17},
                                           std::vector<std::size_t>{9000}),
                         kavro::testing::PrintedName());

TEST(FirCorrelator, HistoryAndTapEdgeCases) {
    FirCorrelator filter;
    std::vector<float> samples{1, 2, 3};
    filter.process(samples); // no taps: untouched
    EXPECT_EQ(samples, (std::vector<float>{1, 2, 3}));

    filter.setTaps(std::vector<float>{1.0f});
    filter.process(samples);
    EXPECT_EQ(samples, (std::vector<float>{1, 2, 3}));
    EXPECT_TRUE(filter.history().empty());

    // [1, 0, 0] delays by two samples; resetting the history brings the zeros back.
    filter.setTaps(std::vector<float>{1, 0, 0});
    filter.process(samples);
    EXPECT_EQ(samples, (std::vector<float>{0, 0, 1}));
    std::vector<float> more{4, 5};
    filter.process(more);
    EXPECT_EQ(more, (std::vector<float>{2, 3}));
    filter.resetHistory();
    filter.process(more);
    EXPECT_EQ(more, (std::vector<float>{0, 0}));

    filter.clear();
    EXPECT_FALSE(filter.hasTaps());
    filter.process(samples);
    EXPECT_EQ(samples, (std::vector<float>{0, 0, 1}));
}
