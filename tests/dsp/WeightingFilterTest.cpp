#include "dsp/AWeightingFilter.h"
#include "dsp/CWeightingFilter.h"
#include "support/RandomSignal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

using kavro::dsp::AWeightingFilter;
using kavro::dsp::CWeightingFilter;
using kavro::dsp::WeightingFilter;

namespace {

double dbAt(const WeightingFilter& filter, double frequency) {
    return 20.0 * std::log10(filter.magnitudeAt(frequency));
}

std::vector<float> sine(double frequency, double sampleRate, std::size_t frames, double amplitude = 1.0) {
    std::vector<float> samples(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        samples[i] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(i) / sampleRate));
    }
    return samples;
}

std::vector<float> noise(std::size_t frames, unsigned seed = 7) {
    return kavro::testsupport::randomSignal(frames, seed);
}

double rmsOf(const std::vector<float>& samples, std::size_t from) {
    double sum = 0;
    for (std::size_t i = from; i < samples.size(); ++i) {
        sum += double(samples[i]) * samples[i];
    }
    return std::sqrt(sum / double(samples.size() - from));
}

// Gain of a settled sine through the filter, measured on its output.
double measuredGainDb(WeightingFilter& filter, double frequency) {
    const double fs = filter.sampleRate();
    const auto frames = static_cast<std::size_t>(fs * 4);
    auto samples = sine(frequency, fs, frames);
    filter.process(samples);
    // RMS over the last two seconds (whole cycles for the test frequencies).
    return 20.0 * std::log10(rmsOf(samples, frames / 2) * std::sqrt(2.0));
}

bool bitIdentical(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

} // namespace

TEST(AWeightingFilter, NormalisedFirstSectionAtCommonRates) {
    EXPECT_NEAR(AWeightingFilter(48000).coefficients().at(0)[0], 3867.998, 0.0005);
    EXPECT_NEAR(AWeightingFilter(44100).coefficients().at(0)[0], 4332.986, 0.0005);
    EXPECT_NEAR(AWeightingFilter(96000).coefficients().at(0)[0], 2625.373, 0.0005);
    EXPECT_EQ(AWeightingFilter(48000).coefficients().size(), 4u);
    EXPECT_EQ(AWeightingFilter(48000).states().size(), 4u);
}

TEST(AWeightingFilter, ResponseRelativeTo1kHz) {
    const AWeightingFilter at48(48000);
    const std::pair<double, double> table[] = {{31.5, -39.56}, {63, -26.25},   {100, -19.17}, {1000, 0.00},
                                               {4000, 1.26},   {10000, -1.90}, {16000, -9.74}};
    for (const auto& [frequency, expected] : table) {
        EXPECT_NEAR(dbAt(at48, frequency), expected, 0.005) << frequency << " Hz";
    }
    EXPECT_NEAR(dbAt(AWeightingFilter(44100), 100), -19.18, 0.005);
    EXPECT_NEAR(dbAt(AWeightingFilter(44100), 10000), -1.76, 0.005);
    EXPECT_NEAR(dbAt(AWeightingFilter(96000), 100), -19.15, 0.005);
    EXPECT_NEAR(dbAt(AWeightingFilter(96000), 10000), -2.37, 0.005);
}

TEST(CWeightingFilter, CoefficientsAt48kHz) {
    const CWeightingFilter filter(48000);
    ASSERT_EQ(filter.coefficients().size(), 2u);
    const double expected[2][5] = {{1.0018046965, -2.0036093930, 1.0018046965, -1.9946144527, 0.9946217038},
                                   {0.2563964785, 0.5127929571, 0.2563964785, 0.0254243152, 0.0001615990}};
    for (int s = 0; s < 2; ++s) {
        for (int c = 0; c < 5; ++c) {
            EXPECT_NEAR(filter.coefficients()[s][c], expected[s][c], 1e-10)
                << "section " << s << " value " << c;
        }
    }
}

TEST(CWeightingFilter, ResponseRelativeTo1kHz) {
    const CWeightingFilter at48(48000);
    const std::pair<double, double> table[] = {{20, -6.24},   {31.5, -3.05},  {63, -0.84},
                                               {100, -0.32},  {1000, 0.00},   {4000, -0.53},
                                               {8000, -2.35}, {10000, -3.82}, {16000, -11.67}};
    for (const auto& [frequency, expected] : table) {
        EXPECT_NEAR(dbAt(at48, frequency), expected, 0.005) << frequency << " Hz";
    }
}

// The designed response must be what the samples actually get.
TEST(WeightingFilters, SineThroughProcessMatchesDesignedResponse) {
    for (double fs : {44100.0, 48000.0, 96000.0}) {
        for (double frequency : {100.0, 1000.0, 4000.0}) {
            AWeightingFilter a(fs);
            CWeightingFilter c(fs);
            EXPECT_NEAR(measuredGainDb(a, frequency), dbAt(a, frequency), 0.01) << fs << " Hz, " << frequency;
            EXPECT_NEAR(measuredGainDb(c, frequency), dbAt(c, frequency), 0.01) << fs << " Hz, " << frequency;
        }
    }
    AWeightingFilter a(48000);
    EXPECT_NEAR(measuredGainDb(a, 1000), 0.0, 0.001);
}

TEST(WeightingFilters, ConstantInputDecaysToZero) {
    AWeightingFilter a(48000);
    CWeightingFilter c(48000);
    std::vector<float> dcA(48000 * 3, 0.5f), dcC(48000 * 3, 0.5f);
    a.process(dcA);
    c.process(dcC);
    EXPECT_LT(std::fabs(dcA.back()), 1e-4);
    EXPECT_LT(std::fabs(dcC.back()), 1e-4);
}

TEST(CWeightingFilter, RemovesTheNyquistFrequency) {
    CWeightingFilter c(48000);
    std::vector<float> nyquist(4800);
    for (std::size_t i = 0; i < nyquist.size(); ++i) {
        nyquist[i] = (i % 2 == 0) ? 1.0f : -1.0f;
    }
    c.process(nyquist);
    EXPECT_LT(rmsOf(nyquist, 2400), 1e-5);
}

class SplitBuffers : public ::testing::TestWithParam<std::size_t> {};

TEST_P(SplitBuffers, FilteringInPiecesEqualsFilteringWhole) {
    const std::size_t firstPart = GetParam();
    for (double fs : {16000.0, 44100.0, 48000.0}) {
        const auto input = noise(4096);
        AWeightingFilter wholeA(fs), splitA(fs);
        CWeightingFilter wholeC(fs), splitC(fs);
        auto whole = input, split = input;
        wholeA.process(whole);
        splitA.process(std::span<float>(split).first(firstPart));
        splitA.process(std::span<float>(split).subspan(firstPart));
        EXPECT_TRUE(bitIdentical(whole, split)) << fs;
        whole = input;
        split = input;
        wholeC.process(whole);
        splitC.process(std::span<float>(split).first(firstPart));
        splitC.process(std::span<float>(split).subspan(firstPart));
        EXPECT_TRUE(bitIdentical(whole, split)) << fs;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SplitBuffers, ::testing::Values(1, 1023, 1024, 1025, 2048, 4095));

class Interleaved : public ::testing::TestWithParam<std::tuple<double, std::size_t>> {};

// The fast path must give the very bits of the section-by-section definition.
TEST_P(Interleaved, BitIdenticalToSectionBySection) {
    const auto [fs, frames] = GetParam();
    AWeightingFilter referenceA(fs), fastA(fs);
    CWeightingFilter referenceC(fs), fastC(fs);
    for (unsigned round = 0; round < 3; ++round) {
        const auto input = noise(frames, round + 1);
        auto expectedA = input, expectedC = input;
        referenceA.process(expectedA);
        referenceC.process(expectedC);
        std::vector<float> outA(frames), outC(frames);
        kavro::dsp::processInterleaved(fastA, fastC, input, outA, outC);
        EXPECT_TRUE(bitIdentical(expectedA, outA)) << "A, round " << round;
        EXPECT_TRUE(bitIdentical(expectedC, outC)) << "C, round " << round;
    }
    EXPECT_EQ(referenceA.states(), fastA.states());
    EXPECT_EQ(referenceC.states(), fastC.states());
}

INSTANTIATE_TEST_SUITE_P(RatesAndSizes, Interleaved,
                         ::testing::Combine(::testing::Values(8000.0, 22050.0, 44100.0, 48000.0, 96000.0),
                                            ::testing::Values(std::size_t{1}, std::size_t{1023},
                                                              std::size_t{1024}, std::size_t{1025})));

TEST(WeightingFilters, RetuningToTheSameRateKeepsState) {
    AWeightingFilter a(48000);
    CWeightingFilter c(48000);
    auto samples = noise(512);
    a.process(samples);
    c.process(samples);
    const auto statesA = a.states();
    const auto statesC = c.states();
    a.updateSampleRate(48000);
    c.updateSampleRate(48000);
    EXPECT_EQ(a.states(), statesA);
    EXPECT_EQ(c.states(), statesC);

    a.updateSampleRate(44100);
    c.updateSampleRate(44100);
    EXPECT_EQ(a.sampleRate(), 44100);
    ASSERT_EQ(a.states().size(), 4u);
    ASSERT_EQ(c.states().size(), 2u);
    for (const auto& state : a.states()) {
        EXPECT_EQ(state, (WeightingFilter::State{0.0, 0.0}));
    }
    for (const auto& state : c.states()) {
        EXPECT_EQ(state, (WeightingFilter::State{0.0, 0.0}));
    }
    EXPECT_EQ(a.coefficients(), AWeightingFilter(44100).coefficients());
    EXPECT_EQ(c.coefficients(), CWeightingFilter(44100).coefficients());
}

TEST(WeightingFilters, ResetBehavesLikeAFreshFilter) {
    AWeightingFilter used(48000), fresh(48000);
    auto warmUp = noise(2048, 3);
    used.process(warmUp);
    used.reset();
    auto input = noise(1024, 4);
    auto fromUsed = input, fromFresh = input;
    used.process(fromUsed);
    fresh.process(fromFresh);
    EXPECT_TRUE(bitIdentical(fromUsed, fromFresh));
}

// Rates that cannot hold the 12194 Hz pole: stable, unit gain at 1 kHz, and the low
// end of the weighting curves still right.
class LowRates : public ::testing::TestWithParam<double> {};

TEST_P(LowRates, StableWithUnitGainAndTheRightLowEnd) {
    const double fs = GetParam();
    const double tolerance = fs < 10000 ? 0.5 : 0.2;
    AWeightingFilter a(fs);
    CWeightingFilter c(fs);

    EXPECT_NEAR(dbAt(a, 1000), 0.0, 1e-9);
    EXPECT_NEAR(dbAt(c, 1000), 0.0, 1e-9);
    EXPECT_NEAR(measuredGainDb(a, 1000), 0.0, 0.01);
    EXPECT_NEAR(measuredGainDb(c, 1000), 0.0, 0.01);
    EXPECT_NEAR(measuredGainDb(a, 100), -19.1, tolerance);
    EXPECT_NEAR(measuredGainDb(c, 100), -0.3, tolerance);

    AWeightingFilter noisyA(fs);
    CWeightingFilter noisyC(fs);
    auto loudA = noise(static_cast<std::size_t>(fs * 10), 11);
    auto loudC = loudA;
    noisyA.process(loudA);
    noisyC.process(loudC);
    float largest = 0;
    for (std::size_t i = 0; i < loudA.size(); ++i) {
        ASSERT_TRUE(std::isfinite(loudA[i]) && std::isfinite(loudC[i])) << i;
        largest = std::max({largest, std::fabs(loudA[i]), std::fabs(loudC[i])});
    }
    EXPECT_LT(largest, 10.0f);
}

INSTANTIATE_TEST_SUITE_P(Rates, LowRates, ::testing::Values(8000.0, 16000.0, 22050.0, 24000.0));
