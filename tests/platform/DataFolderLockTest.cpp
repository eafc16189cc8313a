// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file/DataFolderLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

namespace kavro::platform {
namespace {

using Lock = std::unique_ptr<DataFolderLock>;

class DataFolderLockTest : public ::testing::Test {
protected:
    QString folder() const { return m_home.filePath(QStringLiteral("data/Kavro")); }

    // A lock file as a program that has since ended left it behind.
    void leaveLockOfEndedProcess() {
        QProcess ended;
        ended.start(QStringLiteral("true"));
        ASSERT_TRUE(ended.waitForStarted(5000));
        const qint64 processId = ended.processId();
        ASSERT_TRUE(ended.waitForFinished(5000));
        QDir().mkpath(folder());
        QFile file(QDir(folder()).filePath(DataFolderLock::kFileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::number(processId) + '\n' + QCoreApplication::applicationName().toUtf8() +
                   '\n' + QSysInfo::machineHostName().toUtf8() + '\n');
    }

    QString lockPath() const { return QDir(folder()).filePath(DataFolderLock::kFileName); }
    int lockMode() const {
        struct stat status {};
        return ::lstat(QFile::encodeName(lockPath()).constData(), &status) == 0 ? int(status.st_mode & 07777)
                                                                                : -1;
    }

    QTemporaryDir m_home;
};

TEST_F(DataFolderLockTest, ASecondWriterIsRefusedAndToldWhoHoldsTheLock) {
    auto first = DataFolderLock::acquire(folder());
    ASSERT_TRUE(std::holds_alternative<Lock>(first)) << "the folder is made when missing";

    const auto second = DataFolderLock::acquire(folder());
    ASSERT_TRUE(std::holds_alternative<DataFolderLock::Refusal>(second));
    const auto& refusal = std::get<DataFolderLock::Refusal>(second);
    const auto* held = std::get_if<DataFolderLock::HeldElsewhere>(&refusal);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->processId, QCoreApplication::applicationPid());
    const QString line = DataFolderLock::describe(refusal, folder());
    EXPECT_TRUE(line.contains(QStringLiteral("process %1").arg(QCoreApplication::applicationPid())))
        << line.toStdString();
    EXPECT_TRUE(line.contains(folder())) << line.toStdString();
    EXPECT_EQ(lockMode(), 0600) << "like every file of the folder";

    // Released with its owner, the lock is free again.
    std::get<Lock>(first).reset();
    EXPECT_TRUE(std::holds_alternative<Lock>(DataFolderLock::acquire(folder())));
}

TEST_F(DataFolderLockTest, TheLockOfAProcessThatEndedIsTakenOver) {
    leaveLockOfEndedProcess();
    const auto taken = DataFolderLock::acquire(folder());
    ASSERT_TRUE(std::holds_alternative<Lock>(taken));
    EXPECT_TRUE(std::holds_alternative<DataFolderLock::Refusal>(DataFolderLock::acquire(folder())))
        << "now it is this process's";
    EXPECT_EQ(lockMode(), 0600) << "the file an earlier version left readable by others";
}

// Whatever stands at the lock's path instead of a file is refused at once, by name,
// and left as it is: a pipe would make the start wait for ever.
TEST_F(DataFolderLockTest, SomethingOtherThanAFileAtTheLockPathIsRefusedAndNamed) {
    const QString elsewhere = m_home.filePath(QStringLiteral("their-file"));
    QFile their(elsewhere);
    ASSERT_TRUE(their.open(QIODevice::WriteOnly) && their.write("theirs") == 6);
    their.close();
    struct Case {
        const char* name;
        std::function<bool()> make;
        QString says;
    };
    const QByteArray path = QFile::encodeName(lockPath());
    for (const Case& test :
         {Case{"pipe", [&] { return ::mkfifo(path.constData(), 0600) == 0; }, "a named pipe"},
          Case{"folder", [&] { return QDir().mkdir(lockPath()); }, "a folder"},
          Case{"link", [&] { return QFile::link(elsewhere, lockPath()); }, "a symbolic link to " + elsewhere},
          Case{"dangling link", [&] { return QFile::link(elsewhere + "-gone", lockPath()); },
               "a symbolic link to " + elsewhere + "-gone (which does not exist)"}}) {
        ASSERT_TRUE(QDir().mkpath(folder()) && test.make()) << test.name;
        const auto refused = DataFolderLock::acquire(folder());
        ASSERT_TRUE(std::holds_alternative<DataFolderLock::Refusal>(refused)) << test.name;
        EXPECT_EQ(
            DataFolderLock::describe(std::get<DataFolderLock::Refusal>(refused), folder()),
            QStringLiteral("cannot keep the history in %1: its lock file %2 is %3, not a file; remove it")
                .arg(folder(), lockPath(), test.says))
            << test.name;
        EXPECT_TRUE(QFileInfo(lockPath()).isSymLink() || QFileInfo::exists(lockPath())) << test.name;
        ASSERT_TRUE(QFile::remove(lockPath()) || QDir().rmdir(lockPath())) << test.name;
    }
    ASSERT_TRUE(their.open(QIODevice::ReadOnly));
    EXPECT_EQ(their.readAll(), "theirs");
}

// The folder removed under a running writer: another program may then start on it.
// The writer takes its lock back only while no one else holds it, and never removes
// the other's lock file.
TEST_F(DataFolderLockTest, ALockRemovedWithItsFolderIsTakenBackOnlyWhenNoOneElseHoldsIt) {
    auto first = std::get<Lock>(DataFolderLock::acquire(folder()));
    EXPECT_EQ(first->confirm(), (std::variant<WriterLock::Standing, QString>(WriterLock::Standing::held)));

    ASSERT_TRUE(QDir(folder()).removeRecursively());
    auto second = std::get<Lock>(DataFolderLock::acquire(folder()));
    const auto refused = first->confirm();
    ASSERT_TRUE(std::holds_alternative<QString>(refused));
    EXPECT_TRUE(
        std::get<QString>(refused).contains(QStringLiteral("Kavro (process %1) has kept the history there")
                                                .arg(QCoreApplication::applicationPid())))
        << std::get<QString>(refused).toStdString();

    second.reset();
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    EXPECT_EQ(first->confirm(), (std::variant<WriterLock::Standing, QString>(WriterLock::Standing::retaken)));
    EXPECT_EQ(lockMode(), 0600);
    EXPECT_TRUE(std::holds_alternative<DataFolderLock::Refusal>(DataFolderLock::acquire(folder())))
        << "taken back, it locks again";
    EXPECT_EQ(first->confirm(), (std::variant<WriterLock::Standing, QString>(WriterLock::Standing::held)));

    // A writer that lost its lock leaves the new holder's file alone when it ends.
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    auto third = std::get<Lock>(DataFolderLock::acquire(folder()));
    first.reset();
    EXPECT_EQ(lockMode(), 0600) << "still there";
    EXPECT_TRUE(std::holds_alternative<DataFolderLock::Refusal>(DataFolderLock::acquire(folder())));
}

TEST_F(DataFolderLockTest, AFolderThatCannotBeMadeIsReportedNotTaken) {
    // A file where the folder should be.
    QFile blocker(m_home.filePath(QStringLiteral("data")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto refused = DataFolderLock::acquire(folder());
    ASSERT_TRUE(std::holds_alternative<DataFolderLock::Refusal>(refused));
    const auto& refusal = std::get<DataFolderLock::Refusal>(refused);
    EXPECT_TRUE(std::holds_alternative<DataFolderLock::Unavailable>(refusal));
    // The line says why, not only that it failed.
    EXPECT_TRUE(DataFolderLock::describe(refusal, folder())
                    .startsWith(QStringLiteral("cannot keep the history in ") + folder() +
                                QStringLiteral(": cannot create the folder: ")));
    EXPECT_FALSE(DataFolderLock::describe(refusal, folder()).endsWith(QStringLiteral(": ")));
}

} // namespace
} // namespace kavro::platform
