// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/LevelCalibrationService.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/PinkNoisePlayer.h"
#include "support/ParamNames.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace kavro::services;
namespace testing_ = kavro::platform::testing;
using Phase = LevelCalibrationService::Phase;
using Refusal = LevelCalibrationService::Refusal;

namespace {

using kavro::testing::PrintTo;

constexpr double kRate = 48000.0;

class LevelCalibrationServiceTest : public ::testing::Test {
protected:
    // Delivers `seconds` of a sine of `rmsDbfs` (plus an optional second one) in capture
    // buffers and handles what the service posted, about every 0.1 s as the feed would.
    void capture(double seconds, double frequencyHz, double rmsDbfs, double secondHz = 0,
                 double secondDbfs = 0) {
        const auto frames = static_cast<std::size_t>(seconds * kRate);
        std::vector<std::vector<float>> buffers;
        for (std::size_t start = 0; start < frames; start += 1024) {
            std::vector<float> buffer(1024);
            for (std::size_t i = 0; i < buffer.size(); ++i) {
                const double t = static_cast<double>(start + i) / kRate;
                const auto tone = [t](double hz, double dbfs) {
                    return std::sqrt(2.0) * std::pow(10.0, dbfs / 20) *
                           std::sin(2 * std::numbers::pi * hz * t);
                };
                buffer[i] = static_cast<float>(tone(frequencyHz, rmsDbfs) +
                                               (secondHz > 0 ? tone(secondHz, secondDbfs) : 0));
            }
            buffers.push_back(std::move(buffer));
        }
        for (std::size_t first = 0; first < buffers.size(); first += kBuffersPerCollect) {
            const auto last = std::min(first + kBuffersPerCollect, buffers.size());
            backend.stream()->deliver({buffers.begin() + static_cast<std::ptrdiff_t>(first),
                                       buffers.begin() + static_cast<std::ptrdiff_t>(last)});
            QCoreApplication::processEvents();
        }
    }
    static constexpr std::size_t kBuffersPerCollect = 5;

    testing_::ScriptedAudioBackend backend;
    kavro::platform::MemoryPreferencesStore preferences;
    testing_::ManualClock clock;
    AudioDeviceManager devices{backend, preferences};
    AudioMeasurementService audio{backend, devices, clock, 94.0};
    LevelCalibrationService service;
};

struct CalibratorCase {
    const char* name;
    double frequencyHz;
    double rmsDbfs;
    double secondHz;
    double currentOffset;
    Phase phase;
    std::optional<Refusal> refusal;
    double offset;
};

class CalibratorRun : public LevelCalibrationServiceTest,
                      public ::testing::WithParamInterface<CalibratorCase> {};

TEST_P(CalibratorRun, SetsTheOffsetFromTheToneOrSaysWhyNot) {
    const CalibratorCase& testCase = GetParam();
    std::optional<double> applied;
    QObject::connect(&service, &LevelCalibrationService::calibrated,
                     [&](double offset) { applied = offset; });
    service.startWithCalibrator(94.0, &audio, testCase.currentOffset);
    ASSERT_TRUE(audio.isRunning());
    capture(3.6, testCase.frequencyHz, testCase.rmsDbfs, testCase.secondHz, testCase.rmsDbfs - 10);
    EXPECT_EQ(service.phase(), testCase.phase) << service.message().toStdString();
    EXPECT_EQ(service.refusal(), testCase.refusal);
    EXPECT_NEAR(service.offset().value_or(0), testCase.offset, 0.051);
    EXPECT_EQ(applied.has_value(), testCase.phase == Phase::done);
    // Capture it started, it stops; the raw tap is gone.
    EXPECT_FALSE(audio.isCaptureWanted());
    EXPECT_FALSE(audio.hasRawSampleCallback());
}

INSTANTIATE_TEST_SUITE_P(
    Tones, CalibratorRun,
    ::testing::Values(
        CalibratorCase{"calibrator", 1000, -20, 0, 94, Phase::done, std::nullopt, 114.0},
        CalibratorCase{"second_tone", 1000, -20, 2500, 94, Phase::refused, Refusal::otherSoundsTooLoud, 0},
        CalibratorCase{"wrong_frequency", 1100, -20, 0, 94, Phase::refused, Refusal::wrongFrequency, 0},
        CalibratorCase{"offset_beyond_the_range", 1000, -40, 0, 94, Phase::refused, Refusal::outOfRange,
                       134.0},
        CalibratorCase{"large_change", 1000, -20, 0, 80, Phase::refused, Refusal::largeChange, 114.0}),
    kavro::testing::PrintedName());

TEST_F(LevelCalibrationServiceTest, ALargeChangeIsAppliedOnceConfirmed) {
    std::optional<double> applied;
    QObject::connect(&service, &LevelCalibrationService::calibrated,
                     [&](double offset) { applied = offset; });
    service.startWithCalibrator(94.0, &audio, 70.0);
    capture(3.6, 1000, -20);
    ASSERT_EQ(service.refusal(), Refusal::largeChange);
    service.confirmLargeChange();
    EXPECT_EQ(service.phase(), Phase::done);
    ASSERT_TRUE(applied);
    EXPECT_NEAR(*applied, 114.0, 0.051);
}

TEST_F(LevelCalibrationServiceTest, ReferenceRunPlaysNoiseAndReadsTheChosenWeighting) {
    PinkNoisePlayer player{backend};
    service.startWithReference(82.3, LevelCalibrationService::Weighting::a, &audio, &player, std::nullopt,
                               94.0);
    EXPECT_TRUE(player.isPlaying());
    // At 1 kHz A-weighting is flat: the offset is the reading above the signal's level.
    capture(4.1, 1000, -26);
    EXPECT_EQ(service.phase(), Phase::done) << service.message().toStdString();
    EXPECT_NEAR(service.offset().value_or(0), 108.3, 0.051);
    EXPECT_EQ(service.weightingName(), "A");
    EXPECT_FALSE(player.isPlaying());
}

TEST_F(LevelCalibrationServiceTest, RefusesWhileTheResponseMeasurementHoldsTheRawCapture) {
    audio.setRawSampleCallback([](std::span<const float>, double) {});
    service.startWithCalibrator(94.0, &audio, 94.0);
    EXPECT_EQ(service.refusal(), Refusal::busy);
    EXPECT_FALSE(audio.isCaptureWanted());
}

} // namespace
