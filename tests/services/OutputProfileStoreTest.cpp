// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/OutputProfileStore.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/SettingKey.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using kavro::models::OutputProfile;
using kavro::platform::MemoryPreferencesStore;
using kavro::services::OutputProfileStore;
using kavro::services::OutputReference;

namespace {

const QDateTime kSetAt(QDate(2026, 3, 4), QTime(5, 6, 7), QTimeZone::utc());
const QString kHeadphones = QStringLiteral("alsa_output.pci#analog-output-headphones");

TEST(OutputProfileStore, EstimatedUntilSetAndFoundAgainAtTheNextLaunch) {
    MemoryPreferencesStore preferences;
    const OutputReference estimate;
    {
        OutputProfileStore store(preferences);
        const auto before = store.referenceFor(kHeadphones, "Built-in Audio · Headphones");
        EXPECT_EQ(before.fullScaleDbSpl, estimate.fullScaleDbSpl);
        EXPECT_TRUE(before.estimated);
        EXPECT_EQ(before.displayName, "Built-in Audio · Headphones");

        EXPECT_FALSE(
            store.setProfile({kHeadphones, "Headphones", 104.0, OutputProfile::Basis::typed, kSetAt}));
        EXPECT_FALSE(
            store.setProfile({kHeadphones, "Headphones", 98.5, OutputProfile::Basis::typed, kSetAt}));
        // An impossible reference is refused with its reason and changes nothing.
        EXPECT_TRUE(store.setProfile({kHeadphones, "Headphones", 300, OutputProfile::Basis::typed, kSetAt}));
        EXPECT_FALSE(store.setProfile({"other#", "Other", 120, OutputProfile::Basis::measured, kSetAt}));
    }
    OutputProfileStore relaunched(preferences);
    ASSERT_EQ(relaunched.profiles().size(), 2);
    const auto after = relaunched.referenceFor(kHeadphones, QString());
    EXPECT_EQ(after.fullScaleDbSpl, 98.5);
    EXPECT_FALSE(after.estimated);
    EXPECT_EQ(after.displayName, "Headphones");
    // Another port of the same device is another output, until the device as a whole
    // (as the settings window keys it) has a profile; the port's own still comes first.
    const QString speaker = QStringLiteral("alsa_output.pci#analog-output-speaker");
    EXPECT_TRUE(relaunched.referenceFor(speaker, QString()).estimated);
    EXPECT_FALSE(
        relaunched.setProfile({"alsa_output.pci#", "Built-in", 112, OutputProfile::Basis::typed, kSetAt}));
    EXPECT_EQ(relaunched.referenceFor(speaker, QString()).fullScaleDbSpl, 112);
    EXPECT_EQ(relaunched.referenceFor(kHeadphones, QString()).fullScaleDbSpl, 98.5);
    EXPECT_TRUE(relaunched.remove("alsa_output.pci#"));

    EXPECT_TRUE(relaunched.remove(kHeadphones));
    EXPECT_FALSE(relaunched.remove(kHeadphones));
    EXPECT_TRUE(OutputProfileStore(preferences).referenceFor(kHeadphones, QString()).estimated);
}

TEST(OutputProfileStore, DamagedPreferencesReadAsNoProfiles) {
    MemoryPreferencesStore preferences;
    kavro::platform::Settings(preferences).setValue(kavro::platform::keys::outputProfiles, "[{\"key\":");
    OutputProfileStore store(preferences);
    EXPECT_TRUE(store.profiles().isEmpty());
    EXPECT_TRUE(store.referenceFor(kHeadphones, QString()).estimated);
}

} // namespace
