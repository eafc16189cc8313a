// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/LouderChannelInterval.h"
#include "dsp/ChannelLevelMeters.h"

#include "support/ParamNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace {

using kavro::dsp::ChannelLevelMeters;
using kavro::dsp::LouderChannelInterval;

constexpr double kRate = 48000.0;
constexpr std::size_t kFrames = 1024;

// One stereo buffer of a 1 kHz sine per channel, continuing from `start`.
std::vector<float> stereoSine(double left, double right, std::size_t start) {
    std::vector<float> samples(kFrames * 2);
    for (std::size_t frame = 0; frame < kFrames; ++frame) {
        const double value = std::sin(2.0 * std::numbers::pi * 1000.0 * double(start + frame) / kRate);
        samples[frame * 2] = static_cast<float>(left * value);
        samples[frame * 2 + 1] = static_cast<float>(right * value);
    }
    return samples;
}

// Amplitudes of the two ears, buffer by buffer, over one interval.
struct EarCase {
    std::string name;
    std::vector<std::pair<double, double>> buffers;
    // The interval's level relative to a full-scale sine in both ears, dB.
    double expectedDb;
};

void PrintTo(const EarCase& earCase, std::ostream* os) {
    *os << earCase.name;
}

class LouderEarTest : public ::testing::TestWithParam<EarCase> {};

// The interval counts the ear with more energy over the whole interval: not both ears
// added, not the louder ear of each buffer.
TEST_P(LouderEarTest, IntervalLevelIsTheLouderEarsOverTheInterval) {
    ChannelLevelMeters meters(kRate, kFrames);
    meters.restart(kRate, 2);
    LouderChannelInterval interval;
    ChannelLevelMeters::Readings readings{};
    // Settle the filters on silence first.
    for (int buffer = 0; buffer < 20; ++buffer) {
        meters.process(stereoSine(0, 0, 0), 100.0, false, nullptr, readings);
    }
    interval.clear();
    std::size_t start = 0;
    for (const auto& [left, right] : GetParam().buffers) {
        meters.process(stereoSine(left, right, start), 100.0, false, nullptr, readings);
        interval.add(std::span(readings.data(), 2), kRate);
        start += kFrames;
    }
    const double fullScaleSine = 100.0 - 10.0 * std::log10(2.0);
    EXPECT_NEAR(interval.take().laeq, fullScaleSine + GetParam().expectedDb, 0.05);
}

INSTANTIATE_TEST_SUITE_P(
    Ears, LouderEarTest,
    ::testing::Values(
        EarCase{"BothEars", {{1, 1}, {1, 1}, {1, 1}, {1, 1}}, 0.0},
        EarCase{"LeftOnlyReadsAsBoth", {{1, 0}, {1, 0}, {1, 0}, {1, 0}}, 0.0},
        EarCase{"RightOnlyReadsAsBoth", {{0, 1}, {0, 1}, {0, 1}, {0, 1}}, 0.0},
        // The left ear hears 1 + ¼ of the energy, the right ½ + ½: left.
        EarCase{"EarsTakeTurns", {{1, 0.5}, {1, 0.5}, {0.5, 1}, {0.5, 1}}, 10.0 * std::log10(0.625)}),
    kavro::testing::PrintedName());

TEST(ChannelLevelMetersTest, SilentMeasuresNothingAndPeaksComeFromEitherEar) {
    ChannelLevelMeters meters(kRate, kFrames);
    meters.restart(kRate, 2);
    ChannelLevelMeters::Readings readings{};
    meters.process(stereoSine(1, 1, 0), 100.0, true, nullptr, readings);
    EXPECT_EQ(readings[0].sumSquaresA + readings[1].sumSquaresA, 0.0) << "a muted output reaches no ear";

    meters.process(stereoSine(0.1, 1, 0), 100.0, false, nullptr, readings);
    const auto shown = kavro::dsp::louderReading(std::span(readings.data(), 2));
    EXPECT_EQ(shown.peakDBC, readings[1].peakDBC);
    EXPECT_EQ(shown.sumSquaresA, readings[1].sumSquaresA);
}

} // namespace
