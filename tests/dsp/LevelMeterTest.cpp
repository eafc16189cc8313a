// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/LevelMeter.h"
#include "dsp/IntervalAccumulator.h"
#include "support/ParamNames.h"
#include "support/TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

using kavro::dsp::IntervalAccumulator;
using kavro::dsp::IntervalLevels;
using kavro::dsp::LevelMeter;
using kavro::dsp::MeterReading;

namespace {

constexpr double kRate = 48000.0;

// Adds readings up the way an interval does, without the conversion to decibels.
struct Totals {
    double sumSquaresA = 0;
    double sumSquaresC = 0;
    std::size_t frames = 0;
    double peakDBA = 0;
    double peakDBC = 0;

    void add(const MeterReading& reading) {
        sumSquaresA += reading.sumSquaresA;
        sumSquaresC += reading.sumSquaresC;
        frames += reading.frames;
        peakDBA = std::max(peakDBA, reading.peakDBA);
        peakDBC = std::max(peakDBC, reading.peakDBC);
    }
};

class LevelMeterSplit : public ::testing::TestWithParam<std::size_t> {};

} // namespace

// The filters carry their state from buffer to buffer, so however a signal is cut, its
// buffers hold the same weighted energy and the same peaks as the signal measured whole;
// and the parts of a buffer that measure() returns add up to the buffer.
TEST_P(LevelMeterSplit, BuffersAndTheirPartsAddUpToTheWholeSignal) {
    const std::size_t bufferFrames = GetParam();
    const std::vector<float> signal = kavro::testing::randomSignal(20000, 11);

    LevelMeter whole(kRate);
    Totals expected;
    expected.add(whole.process(signal, 94.0));

    LevelMeter meter(kRate);
    Totals buffers, parts;
    const std::span<const float> samples(signal);
    for (std::size_t first = 0; first < samples.size(); first += bufferFrames) {
        const auto buffer = samples.subspan(first, std::min(bufferFrames, samples.size() - first));
        const MeterReading reading = meter.process(buffer, 94.0);
        buffers.add(reading);
        const std::size_t cut = buffer.size() / 3;
        parts.add(meter.measure(0, cut, 94.0));
        parts.add(meter.measure(cut, buffer.size(), 94.0)); // runs past the end: cut to the buffer
    }

    for (const Totals* totals : {&buffers, &parts}) {
        EXPECT_EQ(totals->frames, signal.size());
        EXPECT_NEAR(totals->sumSquaresA, expected.sumSquaresA, expected.sumSquaresA * 1e-12);
        EXPECT_NEAR(totals->sumSquaresC, expected.sumSquaresC, expected.sumSquaresC * 1e-12);
        EXPECT_EQ(totals->peakDBA, expected.peakDBA);
        EXPECT_EQ(totals->peakDBC, expected.peakDBC);
    }
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, LevelMeterSplit, ::testing::Values(1, 441, 1023, 1024, 1025, 4096),
                         kavro::testing::PrintedName());

TEST(IntervalAccumulator, EachBufferCountsWithTheOffsetItWasMeasuredWith) {
    // A settled 1 kHz sine: both weightings read it at its RMS level.
    LevelMeter meter(kRate);
    const auto sine = kavro::testing::sineBuffer(1000.0, 0.5, kRate, 4800);
    meter.process(sine, 94.0);
    const MeterReading before = meter.process(sine, 94.0);
    const MeterReading after = meter.process(sine, 104.0); // recalibrated part way

    IntervalAccumulator interval;
    interval.add(before, kRate);
    interval.add(after, kRate);
    const IntervalLevels levels = interval.take();

    const double levelBefore = 20.0 * std::log10(before.rmsA) + 94.0;
    const double levelAfter = 20.0 * std::log10(after.rmsA) + 104.0;
    ASSERT_NEAR(levelAfter - levelBefore, 10.0, 1e-6);
    const double expected =
        10.0 * std::log10((std::pow(10.0, levelBefore / 10.0) + std::pow(10.0, levelAfter / 10.0)) / 2.0);
    EXPECT_NEAR(levels.laeq, expected, 1e-9);
    EXPECT_NEAR(levels.lceq, expected, 0.01);
    EXPECT_EQ(levels.peakDBC, after.peakDBC);
    EXPECT_NEAR(levels.peakDBC, 104.0 + 20.0 * std::log10(0.5), 0.01);
    EXPECT_EQ(levels.frames, 9600);
    EXPECT_DOUBLE_EQ(levels.durationSeconds, 0.2);

    // Taking starts a new interval.
    EXPECT_FALSE(interval.take().hasAudio());
}

TEST(IntervalAccumulator, LevelsHaveTheMetersFloorsCapsAndPeakAlert) {
    struct Case {
        const char* what;
        float amplitude;
        double offset;
        double laeq;
        double peak;
        bool alert;
    };
    const Case cases[] = {
        {"digital silence", 0.0f, 94.0, 0.0, 0.0, false},
        {"below 0 dB", 0.001f, -100.0, 0.0, 0.0, false},
        {"below the alert", 1.0f, 134.9, 131.89, 134.9, false},
        {"at the alert", 1.0f, 135.1, 132.09, 135.1, true},
        {"capped levels", 1.0f, 150.0, 140.0, 150.0, true},
        {"capped peaks", 1.0f, 170.0, 140.0, 160.0, true},
    };
    for (const Case& c : cases) {
        LevelMeter meter(kRate);
        const auto sine = kavro::testing::sineBuffer(1000.0, c.amplitude, kRate, 4800);
        meter.process(sine, c.offset);
        IntervalAccumulator interval;
        const MeterReading reading = meter.process(sine, c.offset);
        EXPECT_EQ(reading.peakAlert, c.alert) << c.what;
        interval.add(reading, kRate);
        const IntervalLevels levels = interval.take();
        EXPECT_TRUE(levels.hasAudio()) << c.what;
        EXPECT_NEAR(levels.laeq, c.laeq, c.laeq < 140 && c.laeq > 0 ? 0.01 : 1e-9) << c.what;
        EXPECT_NEAR(levels.peakDBC, c.peak, 0.02) << c.what;
    }

    // A broken buffer is left out instead of turning the interval into not-a-number.
    LevelMeter meter(kRate);
    std::vector<float> broken(1024, 0.1f);
    broken[10] = std::numeric_limits<float>::quiet_NaN();
    IntervalAccumulator interval;
    interval.add(meter.process(broken, 94.0), kRate);
    EXPECT_FALSE(interval.take().hasAudio());
}
