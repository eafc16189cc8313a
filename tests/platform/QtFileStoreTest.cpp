// SPDX-License-Identifier: GPL-3.0-or-later
// The real file store against the faults of real disks, injected one system call at a
// time, and against files that are not regular files.
#include "platform/file/QtFileStore.h"
#include "platform/testing/FaultyFileSystemCalls.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace kavro::platform {
namespace {

using Access = FileStore::Access;
using Step = testing::FaultyFileSystemCalls::Step;

QString reason(int errorNumber) {
    return QString::fromUtf8(std::strerror(errorNumber));
}

class QtFileStoreTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return folder.filePath(name); }
    QByteArray onDisk(const QString& name) const {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // Everything in the folder, hidden files too: a failed write must leave no
    // temporary file behind.
    QStringList entries() const {
        return QDir(folder.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir directory;
    QDir folder{directory.path()};
    testing::FaultyFileSystemCalls calls;
    QtFileStore store{calls};
};

struct Fault {
    const char* name;
    Step step;
    int errorNumber;
};

void PrintTo(const Fault& fault, std::ostream* os) {
    *os << fault.name;
}

class FailingStepTest : public QtFileStoreTest, public ::testing::WithParamInterface<Fault> {};

// Whatever step fails, the old file stays as it was, nothing is left beside it and the
// error is the system's reason.
TEST_P(FailingStepTest, KeepsTheOldFileAndSaysWhy) {
    ASSERT_FALSE(store.writeFile(path("sessions.json"), "the old history", Access::privateToUser));
    calls.failAt(GetParam().step, GetParam().errorNumber);

    const auto error = store.writeFile(path("sessions.json"), QByteArray(100000, 'x'), Access::privateToUser);

    EXPECT_EQ(error, reason(GetParam().errorNumber));
    EXPECT_EQ(onDisk("sessions.json"), "the old history");
    EXPECT_EQ(entries(), QStringList{"sessions.json"});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailingStepTest,
    ::testing::Values(Fault{"create", Step::createFile, EACCES}, Fault{"write", Step::write, ENOSPC},
                      Fault{"flush", Step::syncFile, EIO}, Fault{"close", Step::close, EDQUOT},
                      Fault{"rename", Step::rename, EXDEV}),
    [](const ::testing::TestParamInfo<Fault>& test) { return std::string(test.param.name); });

TEST_F(QtFileStoreTest, AFullDiskCutsTheWriteShortAndTheOldFileStays) {
    ASSERT_FALSE(store.writeFile(path("sessions.json"), "the old history", Access::privateToUser));
    calls.spaceLeft = 4096;
    EXPECT_EQ(store.writeFile(path("sessions.json"), QByteArray(10000, 'x'), Access::privateToUser),
              reason(ENOSPC));
    EXPECT_EQ(onDisk("sessions.json"), "the old history");
    EXPECT_EQ(entries(), QStringList{"sessions.json"});
    EXPECT_EQ(calls.calls(Step::rename), 1) << "only the first write was renamed into place";
}

TEST_F(QtFileStoreTest, ShortWritesAreCarriedOnUntilEverythingIsWritten) {
    calls.largestWrite = 7;
    QByteArray bytes;
    for (int i = 0; i < 1000; ++i) {
        bytes.append(QByteArray::number(i)).append(',');
    }
    ASSERT_FALSE(store.writeFile(path("export.csv"), bytes, Access::userDefault));
    EXPECT_EQ(onDisk("export.csv"), bytes);
    EXPECT_GT(calls.calls(Step::write), 500);
}

TEST_F(QtFileStoreTest, TheFileAndItsFolderReachTheDisk) {
    ASSERT_FALSE(store.writeFile(path("sessions.json"), "[]", Access::privateToUser));
    EXPECT_EQ(calls.calls(Step::syncFile), 1);
    EXPECT_EQ(calls.calls(Step::syncFolder), 1);
}

TEST_F(QtFileStoreTest, AFolderThatCannotBeFlushedIsReportedUnlessTheFileSystemCannotFlushFolders) {
    calls.failAt(Step::syncFolder, EIO);
    EXPECT_EQ(store.writeFile(path("sessions.json"), "[1]", Access::privateToUser), reason(EIO));
    calls.failAt(Step::syncFolder, EINVAL);
    EXPECT_FALSE(store.writeFile(path("sessions.json"), "[2]", Access::privateToUser));
    EXPECT_EQ(onDisk("sessions.json"), "[2]");
}

TEST_F(QtFileStoreTest, ThroughALinkTheFileItPointsToIsReplaced) {
    ASSERT_FALSE(store.writeFile(path("real.json"), "old", Access::privateToUser));
    ASSERT_TRUE(QFile::link(path("real.json"), path("link.json")));
    ASSERT_FALSE(store.writeFile(path("link.json"), "new", Access::privateToUser));
    EXPECT_TRUE(QFileInfo(path("link.json")).isSymLink());
    EXPECT_EQ(onDisk("real.json"), "new");
}

// Tightening what the folder holds never reaches through a link: a link to a device or
// to someone's file elsewhere leaves its target as it was. A pipe stands for devices.
TEST_F(QtFileStoreTest, TighteningLeavesLinksTheirTargetsAndPipesAlone) {
    QTemporaryDir elsewhere;
    const auto mode = [](const QString& file) {
        struct stat status {};
        return ::stat(QFile::encodeName(file).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
    };
    const QString theirFile = elsewhere.filePath("notes.txt");
    const QString theirFolder = elsewhere.filePath("shared");
    const QString pipe = elsewhere.filePath("device");
    ASSERT_FALSE(store.writeFile(theirFile, "theirs", Access::userDefault));
    ASSERT_TRUE(QDir().mkpath(theirFolder));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0666), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("own-pipe")).constData(), 0666), 0);
    for (const QString& target : {theirFile, theirFolder, pipe, path("own-pipe")}) {
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0666), 0);
    }
    struct Case {
        const char* name;
        QString target;
    };
    for (const Case& test :
         {Case{"sessions.json", theirFile}, Case{"Kavro", theirFolder}, Case{"running-session.json", pipe},
          Case{"dangling", elsewhere.filePath("none")}, Case{"own-pipe", path("own-pipe")}}) {
        if (test.target != path(test.name)) {
            ASSERT_TRUE(QFile::link(test.target, path(test.name)));
        }
        EXPECT_EQ(store.restrictToOwner(path(test.name)), std::nullopt) << test.name;
        EXPECT_EQ(mode(test.target), QFile::exists(test.target) ? 0666 : -1) << test.name;
    }
}

// A pipe stands for every file that is not a regular one (devices, terminals, sockets):
// it is written to, never replaced by a regular file.
TEST_F(QtFileStoreTest, APipeIsWrittenToAndStaysAPipe) {
    const QByteArray fifo = QFile::encodeName(path("fifo"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    auto received = std::async(std::launch::async, [&] {
        QFile reader(path("fifo"));
        return reader.open(QIODevice::ReadOnly) ? reader.readAll() : QByteArray("<not opened>");
    });
    // The reader must have the pipe open before a writer that does not wait can open it.
    QByteArray written = "Date,DAW\n";
    std::optional<QString> error;
    for (int attempt = 0; attempt < 500; ++attempt) {
        error = store.writeFile(path("fifo"), written, Access::userDefault);
        if (!error) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(error) << error->toStdString();
    EXPECT_EQ(received.get(), written);
    struct stat status {};
    ASSERT_EQ(::stat(fifo.constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
}

TEST_F(QtFileStoreTest, APipeWithoutAReaderIsAnErrorNotAHang) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    EXPECT_EQ(store.writeFile(path("fifo"), "x", Access::userDefault), reason(ENXIO));
}

// "/dev/stdout" is this process's descriptor 1: written through that descriptor, also
// when it is redirected to a regular file.
TEST_F(QtFileStoreTest, AnOwnDescriptorIsWrittenThrough) {
    QFile target(path("redirected.txt"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    ASSERT_EQ(::write(target.handle(), "report before\n", 14), 14);
    const QString viaProc = QStringLiteral("/proc/self/fd/%1").arg(target.handle());
    ASSERT_TRUE(QFile::link(viaProc, path("stdout-like")));

    ASSERT_FALSE(store.writeFile(path("stdout-like"), "csv\n", Access::userDefault));
    ASSERT_FALSE(store.writeFile(viaProc, "more\n", Access::userDefault));
    ASSERT_EQ(::write(target.handle(), "report after\n", 13), 13);
    target.close();
    EXPECT_EQ(onDisk("redirected.txt"), "report before\ncsv\nmore\nreport after\n");
}

TEST_F(QtFileStoreTest, OnlyRegularFilesOfAFewHundredMegabytesAreRead) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    {
        QFile sparse(path("huge.json"));
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(FileStore::kMaximumReadBytes + 1));
    }
    struct Case {
        QString path;
        QString error;
    };
    for (const Case& test :
         {Case{path("fifo"), "not a regular file (a device, pipe or socket)"},
          Case{"/dev/zero", "not a regular file (a device, pipe or socket)"},
          Case{path("huge.json"), "the file is 513 MB, more than the 512 MB a file read here may have"},
          Case{folder.path(), reason(EISDIR)}}) {
        const auto read = store.readFile(test.path);
        ASSERT_TRUE(std::holds_alternative<QString>(read)) << test.path.toStdString();
        EXPECT_EQ(std::get<QString>(read), test.error);
    }
}

TEST_F(QtFileStoreTest, AReadErrorIsTheSystemsReason) {
    ASSERT_FALSE(store.writeFile(path("sessions.json"), "[]", Access::privateToUser));
    calls.failAt(Step::read, EIO);
    const auto read = store.readFile(path("sessions.json"));
    ASSERT_TRUE(std::holds_alternative<QString>(read));
    EXPECT_EQ(std::get<QString>(read), reason(EIO));
}

} // namespace
} // namespace kavro::platform
