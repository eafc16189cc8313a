// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/AWeightingFilter.h"
#include "dsp/AvxWeightingKernel.h"
#include "dsp/CWeightingFilter.h"
#include "support/ParamNames.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

using kavro::dsp::AWeightingFilter;
using kavro::dsp::CWeightingFilter;
using kavro::dsp::WeightingFilter;
using kavro::testing::randomSignal;

namespace {

double dbAt(const WeightingFilter& filter, double frequency) {
    return 20.0 * std::log10(filter.magnitudeAt(frequency));
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
    auto samples = kavro::testing::sineBuffer(frequency, 1.0, fs, frames);
    filter.process(samples);
    // RMS over the last two seconds (whole cycles for the test frequencies).
    return 20.0 * std::log10(rmsOf(samples, frames / 2) * std::sqrt(2.0));
}

bool bitIdentical(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

} // namespace

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

TEST(CWeightingFilter, ResponseRelativeTo1kHz) {
    const CWeightingFilter at48(48000);
    const std::pair<double, double> table[] = {{20, -6.24},   {31.5, -3.05},  {63, -0.84},
                                               {100, -0.32},  {1000, 0.00},   {4000, -0.53},
                                               {8000, -2.35}, {10000, -3.82}, {16000, -11.67}};
    for (const auto& [frequency, expected] : table) {
        EXPECT_NEAR(dbAt(at48, frequency), expected, 0.005) << frequency << " Hz";
    }
}

// The designed response must be what the samples actually get, down to the zeros at
// DC (both) and at the Nyquist frequency (C).
TEST(WeightingFilters, SamplesGetTheDesignedResponse) {
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

    CWeightingFilter c(48000);
    std::vector<float> dcA(48000 * 3, 0.5f), dcC(48000 * 3, 0.5f), nyquist(4800);
    a.process(dcA);
    c.process(dcC);
    EXPECT_LT(std::fabs(dcA.back()), 1e-4);
    EXPECT_LT(std::fabs(dcC.back()), 1e-4);
    for (std::size_t i = 0; i < nyquist.size(); ++i) {
        nyquist[i] = (i % 2 == 0) ? 1.0f : -1.0f;
    }
    CWeightingFilter(48000).process(nyquist);
    EXPECT_LT(rmsOf(nyquist, 2400), 1e-5);
}

class WeightingStream : public ::testing::TestWithParam<std::tuple<double, std::size_t, bool>> {
protected:
    void TearDown() override { kavro::dsp::setAvxWeightingKernelEnabled(true); }
};

// A stream filtered whole, in buffers of any size, and through the interleaved fast
// path (with and without the AVX2 kernel) gives the very same bits, energy and peaks,
// and leaves the filters in the same state.
TEST_P(WeightingStream, BuffersAndFastPathAreBitIdenticalToTheWholeStream) {
    const auto [fs, bufferFrames, avx] = GetParam();
    kavro::dsp::setAvxWeightingKernelEnabled(avx);
    const auto input = randomSignal(4 * 1024 + 7, 3);
    AWeightingFilter wholeA(fs), splitA(fs), fastA(fs);
    CWeightingFilter wholeC(fs), splitC(fs), fastC(fs);
    auto expectedA = input, expectedC = input, splitOutA = input, splitOutC = input;
    wholeA.process(expectedA);
    wholeC.process(expectedC);
    std::vector<float> fastOutA(input.size()), fastOutC(input.size());
    for (std::size_t first = 0; first < input.size(); first += bufferFrames) {
        const std::size_t count = std::min(bufferFrames, input.size() - first);
        splitA.process(std::span<float>(splitOutA).subspan(first, count));
        splitC.process(std::span<float>(splitOutC).subspan(first, count));
        kavro::dsp::level::BufferStatistics statisticsA, statisticsC, expectedStatisticsA,
            expectedStatisticsC;
        kavro::dsp::processInterleaved(fastA, fastC, std::span<const float>(input).subspan(first, count),
                                       std::span<float>(fastOutA).subspan(first),
                                       std::span<float>(fastOutC).subspan(first), statisticsA, statisticsC);
        kavro::dsp::level::measurePair(std::span<const float>(expectedA).subspan(first, count),
                                       std::span<const float>(expectedC).subspan(first, count),
                                       expectedStatisticsA, expectedStatisticsC);
        ASSERT_EQ(statisticsA.sumSquares, expectedStatisticsA.sumSquares) << first;
        ASSERT_EQ(statisticsC.sumSquares, expectedStatisticsC.sumSquares) << first;
        ASSERT_EQ(statisticsA.peak, expectedStatisticsA.peak) << first;
        ASSERT_EQ(statisticsC.peak, expectedStatisticsC.peak) << first;
    }
    EXPECT_TRUE(bitIdentical(expectedA, splitOutA));
    EXPECT_TRUE(bitIdentical(expectedC, splitOutC));
    EXPECT_TRUE(bitIdentical(expectedA, fastOutA));
    EXPECT_TRUE(bitIdentical(expectedC, fastOutC));
    EXPECT_EQ(wholeA.states(), fastA.states());
    EXPECT_EQ(wholeC.states(), fastC.states());
}

INSTANTIATE_TEST_SUITE_P(RatesAndSizes, WeightingStream,
                         ::testing::Combine(::testing::Values(8000.0, 16000.0, 44100.0, 48000.0, 96000.0),
                                            ::testing::Values(std::size_t{1}, std::size_t{5},
                                                              std::size_t{1023}, std::size_t{1024},
                                                              std::size_t{1025}),
                                            ::testing::Bool()),
                         kavro::testing::PrintedName());

TEST(WeightingFilters, SameRateKeepsStateNewRateAndResetStartAfresh) {
    AWeightingFilter a(48000), fresh(48000);
    CWeightingFilter c(48000);
    auto samples = randomSignal(512, 7);
    a.process(samples);
    c.process(samples);
    const auto statesA = a.states();
    const auto statesC = c.states();
    a.updateSampleRate(48000);
    c.updateSampleRate(48000);
    EXPECT_EQ(a.states(), statesA);
    EXPECT_EQ(c.states(), statesC);

    // Reset: the same output as a fresh filter, nothing left of earlier samples.
    a.reset();
    auto fromUsed = randomSignal(1024, 4), fromFresh = fromUsed;
    a.process(fromUsed);
    fresh.process(fromFresh);
    EXPECT_TRUE(bitIdentical(fromUsed, fromFresh));

    c.updateSampleRate(44100);
    EXPECT_EQ(c.sampleRate(), 44100);
    EXPECT_EQ(c.states(), std::vector<WeightingFilter::State>(2, WeightingFilter::State{0.0, 0.0}));
    EXPECT_EQ(c.coefficients(), CWeightingFilter(44100).coefficients());
    a.updateSampleRate(44100);
    EXPECT_EQ(a.states(), std::vector<WeightingFilter::State>(4, WeightingFilter::State{0.0, 0.0}));
    EXPECT_EQ(a.coefficients(), AWeightingFilter(44100).coefficients());
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
    auto loudA = randomSignal(static_cast<std::size_t>(fs * 10), 11);
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

INSTANTIATE_TEST_SUITE_P(Rates, LowRates, ::testing::Values(8000.0, 16000.0, 22050.0, 24000.0),
                         kavro::testing::PrintedName());
