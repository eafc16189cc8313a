// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/SettingsPreferencesStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <limits>

#include <sys/stat.h>

namespace {

using kavro::platform::PreferencesStore;
using kavro::platform::SettingsPreferencesStore;

class SettingsPreferencesStoreTest : public ::testing::Test {
protected:
    QString path() const { return folder.filePath("Kavro.conf"); }

    QTemporaryDir folder;
};

TEST_F(SettingsPreferencesStoreTest, EveryTypeSurvivesARestartAsItself) {
    const QDateTime moment(QDate(2025, 3, 14), QTime(23, 59, 59, 999), QTimeZone("Europe/Berlin"));
    const QByteArray data("\x00\x01\xff{\"a\":1}", 9);
    {
        SettingsPreferencesStore store(path());
        store.setString("name", "Studio A, left \"near\" field\n= ; @x ü");
        store.setString("empty", "");
        store.setDouble("dose", 0.1 + 0.2); // not a short decimal: must round-trip bit for bit
        store.setDouble("tiny", 5e-324);
        store.setDouble("infinite", std::numeric_limits<double>::infinity());
        store.setBool("flag", true);
        store.setBool("off", false);
        store.setInteger("count", std::numeric_limits<std::int64_t>::min());
        store.setDate("when", moment);
        store.setData("blob", data);
        store.setString("group/key", "nested");
    }
    SettingsPreferencesStore store(path());
    EXPECT_EQ(store.string("name"), "Studio A, left \"near\" field\n= ; @x ü");
    EXPECT_EQ(store.string("empty"), "");
    EXPECT_EQ(store.doubleValue("dose"), 0.1 + 0.2);
    EXPECT_EQ(store.doubleValue("tiny"), 5e-324);
    EXPECT_EQ(store.doubleValue("infinite"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(store.boolValue("flag"), true);
    EXPECT_EQ(store.boolValue("off"), false);
    EXPECT_EQ(store.integer("count"), std::numeric_limits<std::int64_t>::min());
    ASSERT_TRUE(store.date("when"));
    EXPECT_EQ(store.date("when")->toMSecsSinceEpoch(), moment.toMSecsSinceEpoch());
    EXPECT_EQ(store.data("blob"), data);
    EXPECT_EQ(store.string("group/key"), "nested");
}

TEST_F(SettingsPreferencesStoreTest, AValueOfAnotherTypeReadsAsAbsent) {
    SettingsPreferencesStore store(path());
    store.setInteger("count", 3);
    store.setString("number", "0.5");
    store.flush();
    EXPECT_FALSE(store.doubleValue("count"));
    EXPECT_FALSE(store.boolValue("count"));
    EXPECT_FALSE(store.doubleValue("number"));
    EXPECT_FALSE(store.contains("missing"));
}

TEST_F(SettingsPreferencesStoreTest, ForeignOrDamagedEntriesReadAsAbsent) {
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\n"
                   "plain=0.25\n"
                   "list=a, b\n"
                   "badDouble=d:0.25x\n"
                   "badBool=b:yes\n"
                   "badInteger=i:12abc\n"
                   "badDate=t:yesterday\n"
                   "badData=x:@@@\n"
                   "good=i:7\n");
    }
    SettingsPreferencesStore store(path());
    for (const char* key : {"plain", "list", "badDouble", "badBool", "badInteger", "badDate", "badData"}) {
        EXPECT_FALSE(store.contains(key)) << key;
    }
    EXPECT_EQ(store.integer("good"), 7);
}

TEST_F(SettingsPreferencesStoreTest, WritesAreCoalescedAndReachTheDiskWithinTheDelay) {
    SettingsPreferencesStore store(path());
    for (int i = 0; i < 50; ++i) {
        store.setDouble("dose", i / 100.0);
    }
    store.setInteger("gone", 1);
    store.remove("gone");
    // Visible at once, not yet on disk.
    EXPECT_EQ(store.doubleValue("dose"), 0.49);
    EXPECT_FALSE(store.contains("gone"));
    EXPECT_TRUE(store.hasPendingWrites());
    EXPECT_FALSE(QSettings(path(), QSettings::IniFormat).contains("dose"));

    // The write delay itself is the rule under test, so the test waits it out.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !store.hasPendingWrites(); },
                                SettingsPreferencesStore::kWriteDelayMs + 500));
    QSettings onDisk(path(), QSettings::IniFormat);
    EXPECT_EQ(onDisk.value("dose").toString(), "d:0.49");
    EXPECT_FALSE(onDisk.contains("gone"));
}

TEST_F(SettingsPreferencesStoreTest, PendingWritesAreSavedByFlushAndAtQuit) {
    SettingsPreferencesStore store(path());
    store.setBool("launchAtLogin", true);
    store.flush();
    EXPECT_FALSE(store.hasPendingWrites());
    EXPECT_EQ(SettingsPreferencesStore(path()).boolValue("launchAtLogin"), true);

    store.setBool("launchAtLogin", false);
    store.remove("never");
    // What QCoreApplication::exit() emits on the way out.
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    EXPECT_FALSE(store.hasPendingWrites());
    EXPECT_EQ(SettingsPreferencesStore(path()).boolValue("launchAtLogin"), false);
}

// A write that fails says so, with the reason, and keeps the changes: they stay
// visible and reach the disk with the next write that can be made. QSettings keeps
// reporting its first error for good, so the second write is the real test.
TEST_F(SettingsPreferencesStoreTest, AFailedWriteIsReportedAndTriedAgain) {
    const QString blocker = folder.filePath("config");
    {
        QFile file(blocker);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)); // a file where the folder should be
    }
    SettingsPreferencesStore store(blocker + "/Kavro.conf");
    store.setBool("micFreqCorrectionEnabled", true);
    const auto error = store.flush();
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains(blocker)) << error->toStdString();
    EXPECT_TRUE(store.hasPendingWrites());
    EXPECT_EQ(store.boolValue("micFreqCorrectionEnabled"), true);
    EXPECT_TRUE(store.flush()); // still blocked

    ASSERT_TRUE(QFile::remove(blocker));
    store.setInteger("count", 2);
    EXPECT_EQ(store.flush(), std::nullopt);
    EXPECT_FALSE(store.hasPendingWrites());
    SettingsPreferencesStore reread(blocker + "/Kavro.conf");
    EXPECT_EQ(reread.boolValue("micFreqCorrectionEnabled"), true);
    EXPECT_EQ(reread.integer("count"), 2);
}

// A damaged file read at start is not a failed write: the write replaces it.
TEST_F(SettingsPreferencesStoreTest, ADamagedFileDoesNotFailTheWriteThatReplacesIt) {
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General\nx=\"unterminated\n\xff\xfe=1\n");
    }
    SettingsPreferencesStore store(path());
    store.setDouble("calibrationOffset", 96.5);
    EXPECT_EQ(store.flush(), std::nullopt);
    EXPECT_EQ(SettingsPreferencesStore(path()).doubleValue("calibrationOffset"), 96.5);
}

// Every date the store hands out, it writes back as the same point in time; a stored
// date it could not write (one whose offset moves it past 9999 in UTC) reads as absent.
TEST(SettingsPreferencesStoreFormat, DatesReadOnlyWhenTheyCanBeWrittenBack) {
    const std::pair<const char*, bool> cases[] = {
        {"t:2025-03-14T09:26:53.250+05:30", true},  {"t:9999-12-31T23:59:59.999Z", true},
        {"t:9999-12-31T23:30:00.000+05:00", true},  {"t:0001-01-01T00:00:00.000Z", true},
        {"t:9999-12-31T23:30:00.000-05:00", false},
    };
    for (const auto& [text, readable] : cases) {
        const auto decoded = SettingsPreferencesStore::decode(QString::fromLatin1(text));
        ASSERT_EQ(decoded.has_value(), readable) << text;
        if (decoded) {
            const auto reread = SettingsPreferencesStore::decode(SettingsPreferencesStore::encode(*decoded));
            ASSERT_TRUE(reread) << text;
            EXPECT_EQ(std::get<QDateTime>(*reread), std::get<QDateTime>(*decoded)) << text;
        }
    }
}

// The preferences hold the day's dose: only their owner may read them, also when an
// earlier version left the file open to everyone.
TEST_F(SettingsPreferencesStoreTest, TheFileIsTheOwnersAlone) {
    const auto mode = [&] {
        struct stat status {};
        return ::stat(QFile::encodeName(path()).constData(), &status) == 0 ? int(status.st_mode & 0777) : -1;
    };
    {
        SettingsPreferencesStore store(path());
        store.setBool("launchAtLogin", true);
        store.flush();
    }
    EXPECT_EQ(mode(), 0600) << "created private";

    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0644), 0);
    SettingsPreferencesStore reopened(path());
    EXPECT_EQ(mode(), 0600) << "tightened when opened";
    EXPECT_EQ(reopened.boolValue("launchAtLogin"), true);
}

TEST(SettingsPreferencesStoreFormat, InvalidDateRoundTripsAsInvalid) {
    const auto decoded = SettingsPreferencesStore::decode(SettingsPreferencesStore::encode(QDateTime()));
    ASSERT_TRUE(decoded);
    ASSERT_TRUE(std::holds_alternative<QDateTime>(*decoded));
    EXPECT_FALSE(std::get<QDateTime>(*decoded).isValid());
}

} // namespace
