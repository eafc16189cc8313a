// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ResponseAccumulator.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using kavro::dsp::ResponseAccumulator;

namespace {

// Samples consumed by a complete run: 199 hops and one whole frame.
constexpr std::size_t kRunSamples = 1024 * 199 + 2048;

} // namespace

TEST(ResponseAccumulator, FramingDependsOnlyOnTheStream) {
    const auto stream = kavro::testing::randomSignal(kRunSamples + 5000, 11, 0.1f);
    ResponseAccumulator whole;
    EXPECT_EQ(whole.append(std::span(stream).first(kRunSamples - 1)), 199);
    EXPECT_EQ(whole.append(std::span(stream).subspan(kRunSamples - 1, 1)), 200);
    EXPECT_TRUE(whole.isComplete());
    // Samples after the target change nothing.
    const auto power = whole.accumulatedPower();
    whole.append(std::span(stream).subspan(kRunSamples));
    EXPECT_EQ(whole.accumulatedPower(), power);

    for (const std::size_t size : {1u, 7u, 1023u, 1025u, 2048u, 4096u}) {
        ResponseAccumulator pieces;
        std::size_t used = 0;
        while (!pieces.isComplete()) {
            const std::size_t take = std::min(size, stream.size() - used);
            pieces.append(std::span(stream).subspan(used, take));
            used += take;
        }
        EXPECT_EQ(pieces.accumulatedPower(), power) << "buffers of " << size;
        EXPECT_EQ(pieces.framesAccumulated(), 200);
    }
}

TEST(ResponseAccumulator, SineLandsInItsBinAndResetStartsAfresh) {
    const auto sine = kavro::testing::sineBuffer(100.0, 1.0, 2048.0, 4096); // on bin 100
    ResponseAccumulator accumulator;
    ASSERT_TRUE(accumulator.isValid());
    EXPECT_EQ(accumulator.append(sine), 3);
    const auto& power = accumulator.accumulatedPower();
    const auto peak = std::max_element(power.begin() + 1, power.end()) - power.begin();
    EXPECT_EQ(peak, 100);
    // A unit sine at a bin centre, Hann-windowed (mean 0.8165), doubled: |X| = 0.8165 · 2048 per frame.
    EXPECT_NEAR(power[100] / 3.0f, std::pow(0.8165f * 2048.0f, 2.0f), 50.0f);

    accumulator.reset();
    EXPECT_EQ(accumulator.framesAccumulated(), 0);
    EXPECT_EQ(accumulator.append(std::span(sine).first(2047)), 0);
    EXPECT_TRUE(std::all_of(power.begin(), power.end(), [](float p) { return p == 0.0f; }));
}
