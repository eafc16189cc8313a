// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/CalibratorTone.h"

#include "support/ParamNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace calibrator = kavro::dsp::calibrator;
using calibrator::Refusal;
namespace {

using kavro::testing::PrintTo;

constexpr double kRate = 48000.0;

// A tone of `rmsDbfs` that moves by `fadeDb` over the signal, with an optional second
// tone `secondBelowDb` under it at `secondHz`, and white noise at `noiseDbfs` RMS.
struct Signal {
    double frequencyHz = 1000.0;
    double rmsDbfs = -20.0;
    double fadeDb = 0.0;
    double secondHz = 0.0;
    double secondBelowDb = 0.0;
    std::optional<double> noiseDbfs{};
};

std::vector<float> render(const Signal& signal, double seconds = calibrator::kListenSeconds) {
    const auto frames = static_cast<std::size_t>(seconds * kRate);
    const double amplitude = std::sqrt(2.0) * std::pow(10.0, signal.rmsDbfs / 20.0);
    std::vector<float> samples(frames);
    unsigned noise = 12345;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double gain = std::pow(10.0, signal.fadeDb * t / seconds / 20.0);
        double value = amplitude * gain * std::sin(2 * std::numbers::pi * signal.frequencyHz * t);
        if (signal.secondHz > 0) {
            value += amplitude * std::pow(10.0, -signal.secondBelowDb / 20.0) *
                     std::sin(2 * std::numbers::pi * signal.secondHz * t);
        }
        if (signal.noiseDbfs) {
            noise = noise * 1664525u + 1013904223u;
            const double white = (static_cast<double>(noise) / 4294967296.0 - 0.5) * std::sqrt(12.0);
            value += std::pow(10.0, *signal.noiseDbfs / 20.0) * white;
        }
        samples[i] = static_cast<float>(value);
    }
    return samples;
}

struct ToneCase {
    const char* name;
    Signal signal;
    std::optional<Refusal> refusal;
};

class CalibratorToneTable : public ::testing::TestWithParam<ToneCase> {};

TEST_P(CalibratorToneTable, AcceptsOnlyASteadyCleanToneNearOneKilohertz) {
    const ToneCase& testCase = GetParam();
    const std::vector<float> samples = render(testCase.signal);
    const calibrator::ToneCheck check = calibrator::checkTone(samples, kRate);
    EXPECT_EQ(check.refusal, testCase.refusal);
    if (!check.refusal) {
        ASSERT_TRUE(check.tone);
        EXPECT_NEAR(check.tone->frequencyHz, testCase.signal.frequencyHz, 1.0);
        // The fade is within the steadiness allowed; the level is the whole signal's.
        EXPECT_NEAR(check.tone->levelDbfs, testCase.signal.rmsDbfs + testCase.signal.fadeDb / 2, 0.05);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CalibratorToneTable,
    ::testing::Values(ToneCase{"calibrator", {}, std::nullopt},
                      ToneCase{"quiet_calibrator_slightly_off_frequency",
                               {.frequencyHz = 1040, .rmsDbfs = -60},
                               std::nullopt},
                      ToneCase{"faint_hiss_under_the_tone", {.noiseDbfs = -50}, std::nullopt},
                      ToneCase{"slow_drift_within_tolerance", {.fadeDb = 0.3}, std::nullopt},
                      ToneCase{"silence", {.rmsDbfs = -300}, Refusal::noTone},
                      ToneCase{"noise_only", {.rmsDbfs = -300, .noiseDbfs = -20}, Refusal::noTone},
                      ToneCase{"tone_at_1100_hz", {.frequencyHz = 1100}, Refusal::wrongFrequency},
                      ToneCase{"tone_at_940_hz", {.frequencyHz = 940}, Refusal::wrongFrequency},
                      ToneCase{"second_tone_10_db_below",
                               {.secondHz = 3000, .secondBelowDb = 10},
                               Refusal::otherSoundsTooLoud},
                      ToneCase{"noise_15_db_below", {.noiseDbfs = -35}, Refusal::otherSoundsTooLoud},
                      ToneCase{"fading_tone", {.fadeDb = -1.0}, Refusal::unsteadyLevel}),
    kavro::testing::PrintedName());

TEST(CalibratorTone, TooShortToJudgeIsNoTone) {
    EXPECT_EQ(calibrator::checkTone(render({}, 0.1), kRate).refusal, Refusal::noTone);
}

TEST(CalibratorTone, OffsetMakesTheMeasuredLevelReadTheCalibratorToATenth) {
    EXPECT_DOUBLE_EQ(calibrator::offsetFor(94.0, -20.0), 114.0);
    EXPECT_DOUBLE_EQ(calibrator::offsetFor(114.0, -31.26), 145.3);
}

} // namespace
