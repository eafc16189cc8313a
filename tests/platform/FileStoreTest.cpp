// SPDX-License-Identifier: GPL-3.0-or-later
// The file store on disk and the one in memory that the unit tests use, held to the same
// behaviour: a test that passes against the fake must mean the same on a real disk.
#include "platform/file/QtFileStore.h"
#include "platform/testing/MemoryFileStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include <sys/stat.h>

namespace kavro::platform {
namespace {

using Access = FileStore::Access;

struct StoreKind {
    const char* name;
    std::function<std::unique_ptr<FileStore>()> make;
    // The permission bits of a path in that store.
    std::function<int(FileStore&, const QString&)> mode;
    // Puts a file there with the given permission bits, as another program might have.
    std::function<void(FileStore&, const QString&, int)> putWithMode;
};

void PrintTo(const StoreKind& kind, std::ostream* os) {
    *os << kind.name;
}

int diskMode(FileStore&, const QString& path) {
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

void putOnDisk(FileStore& store, const QString& path, int mode) {
    ASSERT_FALSE(store.writeFile(path, "theirs", Access::userDefault));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode)), 0);
}

int memoryMode(FileStore& store, const QString& path) {
    return static_cast<testing::MemoryFileStore&>(store).mode(path).value_or(-1);
}

void putInMemory(FileStore& store, const QString& path, int mode) {
    static_cast<testing::MemoryFileStore&>(store).put(path, "theirs", mode);
}

class FileStoreTest : public ::testing::TestWithParam<StoreKind> {
protected:
    // The modes below are those of the usual umask.
    FileStoreTest() : store(GetParam().make()), m_umask(::umask(022)) {}
    ~FileStoreTest() override { ::umask(m_umask); }

    QString path(const QString& relative) const { return root.path() + QLatin1Char('/') + relative; }
    std::optional<QByteArray> contents(const QString& relative) const {
        auto read = store->readFile(path(relative));
        if (auto* bytes = std::get_if<QByteArray>(&read)) {
            return *bytes;
        }
        return std::nullopt;
    }
    int mode(const QString& relative) { return GetParam().mode(*store, path(relative)); }

    // The memory store uses the same paths; its root folder is created here.
    QTemporaryDir root;
    std::unique_ptr<FileStore> store;

private:
    mode_t m_umask;
};

TEST_P(FileStoreTest, WritesIntoFoldersItCreated) {
    EXPECT_TRUE(std::holds_alternative<FileStore::Missing>(store->readFile(path("Kavro/sessions.json"))));
    EXPECT_FALSE(store->createFolder(root.path(), Access::userDefault));
    const auto noFolder = store->writeFile(path("Kavro/sessions.json"), "[]", Access::privateToUser);
    ASSERT_TRUE(noFolder);
    EXPECT_FALSE(noFolder->isEmpty());

    EXPECT_FALSE(store->createFolder(path("Kavro/deeper"), Access::privateToUser));
    EXPECT_FALSE(store->createFolder(path("Kavro"), Access::privateToUser));
    EXPECT_FALSE(
        store->writeFile(path("Kavro/sessions.json"), "a longer first version", Access::privateToUser));
    EXPECT_FALSE(store->writeFile(path("Kavro/sessions.json"), "short", Access::privateToUser));
    EXPECT_EQ(contents("Kavro/sessions.json"), "short");
    EXPECT_TRUE(store->exists(path("Kavro/sessions.json")));
    EXPECT_TRUE(store->exists(path("Kavro/deeper")));
}

TEST_P(FileStoreTest, AFileInTheWayIsAnErrorWithAReason) {
    ASSERT_FALSE(store->createFolder(root.path(), Access::userDefault));
    ASSERT_FALSE(store->writeFile(path("blocker"), "x", Access::userDefault));
    for (const QString& folder : {path("blocker"), path("blocker/Kavro")}) {
        const auto error = store->createFolder(folder, Access::privateToUser);
        ASSERT_TRUE(error) << folder.toStdString();
        EXPECT_FALSE(error->isEmpty());
    }
    EXPECT_TRUE(std::holds_alternative<QString>(store->readFile(root.path()))) << "a folder is not a file";
    EXPECT_TRUE(store->writeFile(root.path(), "x", Access::userDefault)) << "a folder is not replaced";
}

TEST_P(FileStoreTest, RenameNeverReplacesAFile) {
    ASSERT_FALSE(store->createFolder(root.path(), Access::userDefault));
    ASSERT_FALSE(store->writeFile(path("sessions.json"), "old", Access::privateToUser));
    ASSERT_FALSE(store->writeFile(path("taken"), "other", Access::privateToUser));
    EXPECT_TRUE(store->rename(path("sessions.json"), path("taken")));
    EXPECT_EQ(contents("taken"), "other");
    EXPECT_FALSE(store->rename(path("sessions.json"), path("sessions.json.unreadable")));
    EXPECT_FALSE(store->exists(path("sessions.json")));
    EXPECT_EQ(contents("sessions.json.unreadable"), "old");
    EXPECT_TRUE(store->rename(path("sessions.json"), path("again")));
}

TEST_P(FileStoreTest, RemovingAFileThatIsNotThereIsNoError) {
    ASSERT_FALSE(store->createFolder(root.path(), Access::userDefault));
    ASSERT_FALSE(store->writeFile(path("checkpoint"), "x", Access::privateToUser));
    EXPECT_FALSE(store->removeFile(path("checkpoint")));
    EXPECT_FALSE(store->exists(path("checkpoint")));
    EXPECT_FALSE(store->removeFile(path("checkpoint")));
}

// A hearing-exposure history is a health record: what the program keeps is its owner's
// alone, and what the user exports follows the user's own habits.
TEST_P(FileStoreTest, KeptFilesAreTheOwnersAloneAndExportsFollowTheUmask) {
    ASSERT_FALSE(store->createFolder(path("Kavro"), Access::privateToUser));
    EXPECT_EQ(mode("Kavro"), 0700);
    ASSERT_FALSE(store->writeFile(path("Kavro/sessions.json"), "[]", Access::privateToUser));
    EXPECT_EQ(mode("Kavro/sessions.json"), 0600);
    ASSERT_FALSE(store->writeFile(path("export.csv"), "a,b", Access::userDefault));
    EXPECT_EQ(mode("export.csv"), 0644);

    struct Case {
        const char* file;
        int before;
        Access access;
        int after;
    };
    for (const Case& test : {Case{"theirs-kept.json", 0644, Access::privateToUser, 0600},
                             Case{"theirs-open.csv", 0664, Access::userDefault, 0664},
                             Case{"theirs-closed.csv", 0600, Access::userDefault, 0600}}) {
        GetParam().putWithMode(*store, path(test.file), test.before);
        ASSERT_FALSE(store->writeFile(path(test.file), "new", test.access));
        EXPECT_EQ(mode(test.file), test.after) << test.file;
        EXPECT_EQ(contents(test.file), "new") << test.file;
    }
}

TEST_P(FileStoreTest, ExistingFilesAndFoldersAreTightened) {
    ASSERT_FALSE(store->createFolder(path("Kavro"), Access::userDefault));
    EXPECT_EQ(mode("Kavro"), 0755);
    GetParam().putWithMode(*store, path("Kavro/sessions.json"), 0644);
    GetParam().putWithMode(*store, path("Kavro/own.json"), 0640);

    EXPECT_FALSE(store->createFolder(path("Kavro"), Access::privateToUser));
    EXPECT_FALSE(store->restrictToOwner(path("Kavro/sessions.json")));
    EXPECT_FALSE(store->restrictToOwner(path("Kavro/own.json")));
    EXPECT_FALSE(store->restrictToOwner(path("Kavro/never-written.json")));
    EXPECT_EQ(mode("Kavro"), 0700);
    EXPECT_EQ(mode("Kavro/sessions.json"), 0600);
    EXPECT_EQ(mode("Kavro/own.json"), 0600);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, FileStoreTest,
    ::testing::Values(StoreKind{"disk", [] { return std::make_unique<QtFileStore>(); }, diskMode, putOnDisk},
                      StoreKind{"memory", [] { return std::make_unique<testing::MemoryFileStore>(); },
                                memoryMode, putInMemory}),
    [](const ::testing::TestParamInfo<StoreKind>& test) { return std::string(test.param.name); });

TEST(MemoryFileStoreTest, AFullDiskRefusesWhatDoesNotFitAndKeepsTheOldFile) {
    testing::MemoryFileStore store;
    store.put("/data/sessions.json", QByteArray(100, 'a'));
    store.freeBytes = 50;
    EXPECT_EQ(store.writeFile("/data/sessions.json", QByteArray(60, 'b'), Access::privateToUser),
              "No space left on device");
    EXPECT_EQ(store.file("/data/sessions.json"), QByteArray(100, 'a'));
    EXPECT_FALSE(store.writeFile("/data/sessions.json", QByteArray(40, 'c'), Access::privateToUser));
    EXPECT_EQ(store.freeBytes, 110) << "the old file's space came free";
}

} // namespace
} // namespace kavro::platform
