#include "platform/file/DataFolderLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
