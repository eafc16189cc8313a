// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/PinkNoiseGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using kavro::dsp::PinkNoiseGenerator;

namespace {

// Replays the xorshift steps to check the state sequence independently of the filter.
std::uint32_t xorshift(std::uint32_t state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

TEST(PinkNoiseGenerator, ReferenceSequenceFromTheSeed) {
    const std::uint32_t expectedStates[] = {0x6EE4450Bu, 0x2EEF9309u, 0x4D55748Eu, 0x9B5C68ECu};
    const float expectedWhite[] = {-0.13365889f, -0.63331389f, -0.39582968f, 0.21375751f};
    const float expectedOutput[] = {-0.024217708f, -0.12901278f, -0.14898084f, -0.057715431f};

    std::uint32_t state = PinkNoiseGenerator::kSeed;
    PinkNoiseGenerator generator;
    for (int i = 0; i < 4; ++i) {
        state = xorshift(state);
        EXPECT_EQ(state, expectedStates[i]) << i;
        EXPECT_FLOAT_EQ(PinkNoiseGenerator::whiteFromState(state), expectedWhite[i]) << i;
        EXPECT_FLOAT_EQ(generator.next(), expectedOutput[i]) << i;
    }
}

TEST(PinkNoiseGenerator, TenSecondsStayWithinFullScaleAtTheExpectedLevel) {
    PinkNoiseGenerator generator;
    double sumOfSquares = 0;
    float largest = 0;
    const int frames = 441000;
    for (int i = 0; i < frames; ++i) {
        const float sample = generator.next();
        sumOfSquares += double(sample) * sample;
        largest = std::max(largest, std::abs(sample));
    }
    const double rms = std::sqrt(sumOfSquares / frames);
    EXPECT_NEAR(rms, 0.197, 0.005);
    EXPECT_NEAR(20 * std::log10(rms), -14.1, 0.2);
    EXPECT_GT(largest, 0.7f);
    EXPECT_LT(largest, 1.0f);
}

TEST(PinkNoiseGenerator, RenderWritesTheSameSequenceToEveryChannel) {
    PinkNoiseGenerator mono;
    PinkNoiseGenerator stereo;
    // An odd frame count across two calls: the state carries over between renders.
    std::vector<float> first(2 * 333);
    std::vector<float> second(2 * 700);
    stereo.render(first, 2);
    stereo.render(second, 2);
    first.insert(first.end(), second.begin(), second.end());
    for (std::size_t frame = 0; frame < first.size() / 2; ++frame) {
        const float expected = mono.next();
        ASSERT_EQ(first[2 * frame], expected) << frame;
        ASSERT_EQ(first[2 * frame + 1], expected) << frame;
    }
}

} // namespace
