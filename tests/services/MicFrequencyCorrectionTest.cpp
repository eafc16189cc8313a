// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/MicFrequencyCorrection.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/SettingKey.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <random>
#include <thread>

namespace keys = kavro::platform::keys;

using kavro::models::MicCorrectionProfile;
using kavro::platform::MemoryPreferencesStore;
using kavro::services::MicFrequencyCorrection;

namespace {

MicCorrectionProfile profileWith(std::vector<float> taps, double sampleRate = 48000.0) {
    return {std::move(taps),
            sampleRate,
            QDateTime(QDate(2025, 1, 2), QTime(3, 4), QTimeZone::utc()),
            {{1000, 2.5f}}};
}

class MicFrequencyCorrectionTest : public ::testing::Test {
protected:
    // Runs the buffers through apply in order and returns the concatenated output.
    std::vector<float> run(MicFrequencyCorrection& correction, const std::vector<std::vector<float>>& buffers,
                           double rate = 48000.0) {
        std::vector<float> output;
        for (auto buffer : buffers) {
            correction.apply(buffer, rate);
            output.insert(output.end(), buffer.begin(), buffer.end());
        }
        return output;
    }

    MemoryPreferencesStore preferences;
};

} // namespace

TEST_F(MicFrequencyCorrectionTest, StartsOffThenAppliesTapsInOrderAcrossBuffers) {
    MicFrequencyCorrection correction(preferences);
    EXPECT_FALSE(correction.isEnabled());
    EXPECT_FALSE(correction.profile());
    EXPECT_EQ(preferences.boolValue(keys::micFreqCorrectionEnabled.name), false);
    correction.save(profileWith({1.0f}));
    EXPECT_FALSE(correction.isEnabled()); // saving does not switch on
    EXPECT_EQ(run(correction, {{1, 2, 3}}), (std::vector<float>{1, 2, 3}));
    correction.setIsEnabled(true);
    EXPECT_EQ(run(correction, {{1, 2, 3}}), (std::vector<float>{1, 2, 3}));

    // The last tap meets the newest sample.
    correction.save(profileWith({0, 0, 1}));
    EXPECT_EQ(run(correction, {{1, 2}, {3}, {4, 5, 6}}), (std::vector<float>{1, 2, 3, 4, 5, 6}));

    // The first tap meets the oldest: a two-sample delay that starts from silence and
    // runs on seamlessly through buffers shorter than the history.
    correction.save(profileWith({1, 0, 0}));
    EXPECT_EQ(run(correction, {{1, 2}, {3}, {4}, {5, 6, 7}}), (std::vector<float>{0, 0, 1, 2, 3, 4, 5}));

    // Off and on again: the history is silent again.
    correction.setIsEnabled(false);
    EXPECT_EQ(run(correction, {{8, 9}}), (std::vector<float>{8, 9}));
    correction.setIsEnabled(true);
    EXPECT_EQ(run(correction, {{10, 11, 12}}), (std::vector<float>{0, 0, 10}));
}

TEST_F(MicFrequencyCorrectionTest, SplitBuffersGiveTheSameOutputAsOne) {
    std::mt19937 generator(3);
    std::uniform_real_distribution<float> distribution(-1, 1);
    std::vector<float> taps(128), signal(3000);
    for (float& tap : taps) {
        tap = distribution(generator) * 0.2f; // within what a correction's taps can sum to
    }
    for (float& sample : signal) {
        sample = distribution(generator);
    }
    MicFrequencyCorrection whole(preferences);
    whole.save(profileWith(taps));
    whole.setIsEnabled(true);
    MemoryPreferencesStore otherPreferences;
    MicFrequencyCorrection split(otherPreferences);
    split.save(profileWith(taps));
    split.setIsEnabled(true);
    const std::vector<float> first(signal.begin(), signal.begin() + 1100);
    const std::vector<float> second(signal.begin() + 1100, signal.end());
    EXPECT_EQ(run(whole, {signal}), run(split, {first, second}));
}

TEST_F(MicFrequencyCorrectionTest, OtherRateLeavesBuffersAloneUntilTheRateReturns) {
    MicFrequencyCorrection correction(preferences);
    correction.save(profileWith({2.0f}, 48000));
    correction.setIsEnabled(true);
    EXPECT_EQ(run(correction, {{1, 2}}, 44100), (std::vector<float>{1, 2}));
    EXPECT_EQ(run(correction, {{1, 2}}, 48000), (std::vector<float>{2, 4}));
}

TEST_F(MicFrequencyCorrectionTest, ProfileAndSwitchSurviveARestartAndClearForgetsBoth) {
    const auto profile = profileWith({0.5f, 0.25f});
    {
        MicFrequencyCorrection correction(preferences);
        correction.save(profile);
        correction.setIsEnabled(true);
    }
    {
        MicFrequencyCorrection restored(preferences);
        EXPECT_TRUE(restored.isEnabled());
        EXPECT_EQ(restored.profile(), profile);
        EXPECT_EQ(run(restored, {{4, 8}}), (std::vector<float>{1, 4})); // 0.5·0 + 0.25·4, 0.5·4 + 0.25·8
        restored.clear();
        EXPECT_FALSE(restored.isEnabled());
        EXPECT_FALSE(restored.profile());
        EXPECT_EQ(run(restored, {{4, 8}}), (std::vector<float>{4, 8}));
    }
    EXPECT_FALSE(preferences.contains(keys::micCorrectionProfile.name));
    EXPECT_FALSE(preferences.contains(keys::micFreqCorrectionEnabled.name));
    MicFrequencyCorrection afterClear(preferences);
    EXPECT_FALSE(afterClear.isEnabled());
    EXPECT_FALSE(afterClear.profile());
}

TEST_F(MicFrequencyCorrectionTest, BadStoredDataIsIgnoredAndKept) {
    preferences.setData(keys::micCorrectionProfile.name, "{\"taps\":[1]}");
    preferences.setBool(keys::micFreqCorrectionEnabled.name, true);
    MicFrequencyCorrection correction(preferences);
    EXPECT_FALSE(correction.profile());
    EXPECT_TRUE(correction.isEnabled());
    EXPECT_EQ(run(correction, {{1, 2}}), (std::vector<float>{1, 2}));
    EXPECT_EQ(preferences.data(keys::micCorrectionProfile.name), QByteArray("{\"taps\":[1]}"));
}

TEST_F(MicFrequencyCorrectionTest, UnencodableProfileIsAppliedButNotStored) {
    MicFrequencyCorrection correction(preferences);
    auto profile = profileWith({0, 3.0f});
    profile.measuredDate = QDateTime();
    EXPECT_EQ(correction.save(profile), std::nullopt);
    correction.setIsEnabled(true);
    EXPECT_TRUE(correction.profile());
    EXPECT_FALSE(preferences.contains(keys::micCorrectionProfile.name));
    EXPECT_EQ(run(correction, {{1}}), (std::vector<float>{3}));
}

// A filter of non-numbers or of enormous taps would turn every reading into nonsense:
// it is refused whether it comes to save() or from the stored preferences, and the
// correction in place stays as it was.
TEST_F(MicFrequencyCorrectionTest, FiltersNoCorrectionCouldBeAreRefused) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto badCurve = profileWith({1.0f});
    badCurve.correctionCurve.append({2000, std::numeric_limits<float>::infinity()});
    MicFrequencyCorrection correction(preferences);
    ASSERT_EQ(correction.save(profileWith({0, 2.0f})), std::nullopt);
    correction.setIsEnabled(true);
    const QByteArray stored = *preferences.data(keys::micCorrectionProfile.name);
    for (const auto& refused : {profileWith({nan}), profileWith({1e30f}), badCurve}) {
        EXPECT_TRUE(correction.save(refused));
        EXPECT_EQ(correction.profile()->taps, (std::vector<float>{0, 2.0f}));
        EXPECT_EQ(preferences.data(keys::micCorrectionProfile.name), stored);
        EXPECT_EQ(run(correction, {{1}}), (std::vector<float>{2}));
    }
}

// The capture thread filters constant buffers while the main thread keeps replacing
// the filter and switching it. Taps [0 … 0, g] scale by g whatever the history, so
// every buffer must come out uniformly 1 (passed through or g = 1) or uniformly 2:
// a half-installed filter would show as a mixed buffer. Run under ThreadSanitizer too.
TEST_F(MicFrequencyCorrectionTest, SaveRacingApplyNeverTearsABuffer) {
    MicFrequencyCorrection correction(preferences);
    auto unit = std::vector<float>(128, 0.0f);
    auto doubled = unit;
    unit.back() = 1.0f;
    doubled.back() = 2.0f;
    correction.save(profileWith(unit));
    correction.setIsEnabled(true);

    std::atomic<bool> stop{false};
    std::atomic<int> mixedBuffers{0};
    std::atomic<int> buffers{0};
    std::thread capture([&] {
        std::vector<float> buffer(1024);
        while (!stop.load()) {
            std::fill(buffer.begin(), buffer.end(), 1.0f);
            correction.apply(buffer, 48000.0);
            const float first = buffer.front();
            const bool uniform =
                std::all_of(buffer.begin(), buffer.end(), [&](float v) { return v == first; });
            if (!uniform || (first != 1.0f && first != 2.0f)) {
                mixedBuffers.fetch_add(1);
            }
            buffers.fetch_add(1);
        }
    });
    for (int i = 0; i < 400; ++i) {
        correction.save(profileWith(i % 2 ? doubled : unit));
        if (i % 7 == 0) {
            correction.setIsEnabled(i % 14 != 0);
        }
    }
    while (buffers.load() < 50) {
        std::this_thread::yield();
    }
    stop.store(true);
    capture.join();
    EXPECT_EQ(mixedBuffers.load(), 0);
}
