// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Settings.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/qt/SettingsPreferencesStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <limits>

namespace kavro::platform {
namespace {

// A preferences file as the program has always written it, one line per setting.
// Reading it through the table proves that no name or type has drifted: a renamed key
// would silently forget the user's settings and today's dose.
const char* const kStoredFile = "[General]\n"
                                "selectedDeviceUID=s:usb-mic\n"
                                "calibrationOffset=d:101.5\n"
                                "conservativeDoseMode=b:true\n"
                                "peakMonitoringEnabled=b:false\n"
                                "autoStartSessions=b:false\n"
                                "selectedOutputDeviceUID=s:monitors\n"
                                "launchAtLogin=b:true\n"
                                "timeSensitiveNotifications=b:false\n"
                                "micLocationNote=s:1 m behind the chair\n"
                                "selectedChannelIndex=i:2\n"
                                "micCorrectionProfile=x:e30=\n"
                                "micFreqCorrectionEnabled=b:true\n"
                                "calibrationProfiles_v1=x:W10=\n"
                                "customWatchedApplications=x:e30=\n"
                                "DoseCalculator.accumulatedDose=d:0.25\n"
                                "DoseCalculator.doseDate=t:2025-03-14T09:26:53.000Z\n"
                                "DoseCalculator.peakCount135=i:3\n"
                                "DoseCalculator.peakCount137=i:2\n"
                                "DoseCalculator.peakCount140=i:1\n"
                                "DoseCalculator.todayPeakDBC=d:141.5\n"
                                "DoseCalculator.peakDBACount115=i:4\n"
                                "DoseCalculator.conservativeMode=b:true\n";

TEST(SettingsTest, AStoredFileReadsBackThroughTheTable) {
    QTemporaryDir folder;
    const QString path = folder.filePath("Kavro.conf");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kStoredFile);
    }
    SettingsPreferencesStore store(path);
    // Settings added after this file was written are absent from it and read as new.
    for (const SettingName& entry : kAllSettings) {
        const bool olderThanFile = entry.key <= SettingKey::doseConservativeMode;
        EXPECT_EQ(store.contains(entry.name), olderThanFile) << entry.name.data();
    }

    const Settings settings(store);
    EXPECT_EQ(settings.value(keys::selectedDeviceUID), "usb-mic");
    EXPECT_EQ(settings.value(keys::calibrationOffset), 101.5);
    EXPECT_TRUE(settings.value(keys::conservativeDoseMode));
    EXPECT_FALSE(settings.value(keys::peakMonitoringEnabled));
    EXPECT_FALSE(settings.value(keys::autoStartSessions));
    EXPECT_EQ(settings.value(keys::selectedOutputDeviceUID), "monitors");
    EXPECT_TRUE(settings.value(keys::launchAtLogin));
    EXPECT_FALSE(settings.value(keys::timeSensitiveNotifications));
    EXPECT_EQ(settings.value(keys::micLocationNote), "1 m behind the chair");
    EXPECT_EQ(settings.value(keys::selectedChannelIndex), 2);
    EXPECT_EQ(settings.value(keys::micCorrectionProfile), "{}");
    EXPECT_TRUE(settings.value(keys::micFreqCorrectionEnabled));
    EXPECT_EQ(settings.value(keys::calibrationProfiles), "[]");
    EXPECT_EQ(settings.value(keys::customWatchedApplications), "{}");
    EXPECT_EQ(settings.value(keys::accumulatedDose), 0.25);
    EXPECT_EQ(settings.value(keys::doseDate),
              QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53), QTimeZone::utc()));
    EXPECT_EQ(settings.value(keys::peakCount135), 3);
    EXPECT_EQ(settings.value(keys::peakCount137), 2);
    EXPECT_EQ(settings.value(keys::peakCount140), 1);
    EXPECT_EQ(settings.value(keys::todayPeakDBC), 141.5);
    EXPECT_EQ(settings.value(keys::peakDBACount115), 4);
    EXPECT_TRUE(settings.value(keys::doseConservativeMode));
}

TEST(SettingsTest, NothingUsableStoredReadsAsTheDefault) {
    MemoryPreferencesStore store;
    Settings settings(store);
    EXPECT_EQ(settings.value(keys::calibrationOffset), 94.0);
    EXPECT_TRUE(settings.value(keys::autoStartSessions));
    EXPECT_EQ(settings.value(keys::selectedDeviceUID), QString());
    EXPECT_FALSE(settings.stored(keys::micCorrectionProfile));

    // A value of another type, or one that cannot be meant, counts as absent.
    store.setString(keys::autoStartSessions.name, "false");
    store.setInteger(keys::peakMonitoringEnabled.name, 0);
    store.setDouble(keys::calibrationOffset.name, 0.0); // an offset of 0 dB was never set
    store.setDouble(keys::todayPeakDBC.name, std::numeric_limits<double>::infinity());
    store.setDouble(keys::accumulatedDose.name, std::numeric_limits<double>::quiet_NaN());
    store.setDate(keys::doseDate.name, QDateTime());
    EXPECT_TRUE(settings.value(keys::autoStartSessions));
    EXPECT_TRUE(settings.value(keys::peakMonitoringEnabled));
    EXPECT_EQ(settings.value(keys::calibrationOffset), 94.0);
    EXPECT_EQ(settings.value(keys::todayPeakDBC), 0.0);
    EXPECT_EQ(settings.value(keys::accumulatedDose), 0.0);
    EXPECT_FALSE(settings.stored(keys::doseDate));

    // Zero means "never set" only where the table says so.
    store.setDouble(keys::accumulatedDose.name, 0.0);
    EXPECT_EQ(settings.stored(keys::accumulatedDose), 0.0);
}

} // namespace
} // namespace kavro::platform
