// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/CalibrationProfileStore.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/SettingKey.h"
#include "services/MicFrequencyCorrection.h"

#include <QTimeZone>

#include <gtest/gtest.h>

namespace keys = kavro::platform::keys;

using kavro::models::CalibrationSavedProfile;
using kavro::models::MicCorrectionProfile;
using kavro::platform::MemoryPreferencesStore;
using kavro::services::CalibrationProfileStore;
using kavro::services::MicFrequencyCorrection;

namespace {

const QDateTime kNow(QDate(2025, 5, 6), QTime(7, 8, 9), QTimeZone::utc());

CalibrationSavedProfile profileNamed(const QString& label, std::optional<MicCorrectionProfile> freq = {}) {
    return CalibrationSavedProfile::create(label, "", {}, 94.0, kNow, std::move(freq));
}

MicCorrectionProfile correctionProfile(float tap) {
    return {{tap}, 48000.0, kNow, {{1000, 1.0f}}};
}

class CalibrationProfileStoreTest : public ::testing::Test {
protected:
    MemoryPreferencesStore preferences;
};

} // namespace

TEST_F(CalibrationProfileStoreTest, NewestFirstAndKeptAcrossRestarts) {
    {
        CalibrationProfileStore store(preferences);
        EXPECT_TRUE(store.profiles().isEmpty());
        EXPECT_FALSE(preferences.contains(keys::calibrationProfiles.name));
        store.add(profileNamed("first"));
        store.add(profileNamed("second", correctionProfile(0.5f)));
        store.add(profileNamed("second"));
        ASSERT_EQ(store.profiles().size(), 3);
        EXPECT_EQ(store.profiles().at(0).label, "second");
        EXPECT_EQ(store.profiles().at(2).label, "first");
    }
    CalibrationProfileStore reloaded(preferences);
    ASSERT_EQ(reloaded.profiles().size(), 3);
    EXPECT_EQ(reloaded.profiles().at(0).label, "second");
    EXPECT_FALSE(reloaded.profiles().at(0).freqProfile);
    EXPECT_EQ(reloaded.profiles().at(1).freqProfile, correctionProfile(0.5f));
    EXPECT_EQ(reloaded.profiles().at(2).label, "first");
}

TEST_F(CalibrationProfileStoreTest, DeleteRemovesEveryMatchAndAlwaysRewrites) {
    CalibrationProfileStore store(preferences);
    auto twin = profileNamed("twin");
    store.add(twin);
    store.add(profileNamed("keep"));
    store.add(twin);
    store.deleteProfile(twin.id);
    ASSERT_EQ(store.profiles().size(), 1);
    EXPECT_EQ(store.profiles().at(0).label, "keep");

    // Undecodable stored data loads as an empty list and is overwritten by the next change.
    preferences.setData(keys::calibrationProfiles.name, "[{\"label\":\"no id\"}]");
    CalibrationProfileStore fromBadData(preferences);
    EXPECT_TRUE(fromBadData.profiles().isEmpty());
    fromBadData.deleteProfile(QUuid::createUuid());
    EXPECT_EQ(preferences.data(keys::calibrationProfiles.name), QByteArray("[]"));
}

TEST_F(CalibrationProfileStoreTest, ApplyRestoresOnlyAStoredCorrection) {
    CalibrationProfileStore store(preferences);
    MicFrequencyCorrection correction(preferences);
    correction.save(correctionProfile(3.0f));

    store.apply(profileNamed("plain"), correction);
    EXPECT_FALSE(correction.isEnabled());
    EXPECT_EQ(correction.profile(), correctionProfile(3.0f));

    store.apply(profileNamed("with", correctionProfile(0.5f)), correction);
    EXPECT_TRUE(correction.isEnabled());
    EXPECT_EQ(correction.profile(), correctionProfile(0.5f));
    std::vector<float> samples{2.0f};
    correction.apply(samples, 48000.0);
    EXPECT_EQ(samples.front(), 1.0f);
    EXPECT_EQ(MicFrequencyCorrection(preferences).profile(), correctionProfile(0.5f));
}
