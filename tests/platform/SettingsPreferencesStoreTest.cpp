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
