// The file store on disk and the one in memory that the unit tests use, held to the same
// behaviour: a test that passes against the fake must mean the same on a real disk.
#include "platform/file/QtFileStore.h"
#include "platform/testing/MemoryFileStore.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kavro::platform {
namespace {

struct StoreKind {
    const char* name;
    std::function<std::unique_ptr<FileStore>()> make;
};

void PrintTo(const StoreKind& kind, std::ostream* os) {
    *os << kind.name;
}

class FileStoreTest : public ::testing::TestWithParam<StoreKind> {
protected:
    FileStoreTest() : store(GetParam().make()) {}

    QString path(const QString& relative) const { return root.path() + QLatin1Char('/') + relative; }
    std::optional<QByteArray> contents(const QString& relative) const {
        auto read = store->readFile(path(relative));
        if (auto* bytes = std::get_if<QByteArray>(&read)) {
            return *bytes;
        }
        return std::nullopt;
    }

    // The memory store uses the same paths; its root folder is created here.
    QTemporaryDir root;
    std::unique_ptr<FileStore> store;
};

TEST_P(FileStoreTest, WritesIntoFoldersItCreated) {
    EXPECT_TRUE(std::holds_alternative<FileStore::Missing>(store->readFile(path("Kavro/sessions.json"))));
    EXPECT_FALSE(store->createFolder(root.path()));
    const auto noFolder = store->writeFile(path("Kavro/sessions.json"), "[]");
    ASSERT_TRUE(noFolder);
    EXPECT_FALSE(noFolder->isEmpty());

    EXPECT_FALSE(store->createFolder(path("Kavro/deeper")));
    EXPECT_FALSE(store->createFolder(path("Kavro")));
    EXPECT_FALSE(store->writeFile(path("Kavro/sessions.json"), "a longer first version"));
    EXPECT_FALSE(store->writeFile(path("Kavro/sessions.json"), "short"));
    EXPECT_EQ(contents("Kavro/sessions.json"), "short");
    EXPECT_TRUE(store->exists(path("Kavro/sessions.json")));
    EXPECT_TRUE(store->exists(path("Kavro/deeper")));
}

TEST_P(FileStoreTest, AFileInTheWayIsAnErrorWithAReason) {
    ASSERT_FALSE(store->createFolder(root.path()));
    ASSERT_FALSE(store->writeFile(path("blocker"), "x"));
    for (const QString& folder : {path("blocker"), path("blocker/Kavro")}) {
        const auto error = store->createFolder(folder);
        ASSERT_TRUE(error) << folder.toStdString();
        EXPECT_FALSE(error->isEmpty());
    }
    EXPECT_TRUE(std::holds_alternative<QString>(store->readFile(root.path()))) << "a folder is not a file";
}

TEST_P(FileStoreTest, RenameNeverReplacesAFile) {
    ASSERT_FALSE(store->createFolder(root.path()));
    ASSERT_FALSE(store->writeFile(path("sessions.json"), "old"));
    ASSERT_FALSE(store->writeFile(path("taken"), "other"));
    EXPECT_TRUE(store->rename(path("sessions.json"), path("taken")));
    EXPECT_EQ(contents("taken"), "other");
    EXPECT_FALSE(store->rename(path("sessions.json"), path("sessions.json.unreadable")));
    EXPECT_FALSE(store->exists(path("sessions.json")));
    EXPECT_EQ(contents("sessions.json.unreadable"), "old");
    EXPECT_TRUE(store->rename(path("sessions.json"), path("again")));
}

INSTANTIATE_TEST_SUITE_P(
    Stores, FileStoreTest,
    ::testing::Values(StoreKind{"disk", [] { return std::make_unique<QtFileStore>(); }},
                      StoreKind{"memory", [] { return std::make_unique<testing::MemoryFileStore>(); }}),
    [](const ::testing::TestParamInfo<StoreKind>& test) { return std::string(test.param.name); });

} // namespace
} // namespace kavro::platform
