// SPDX-License-Identifier: GPL-3.0-or-later
// `kavro --headless` with its data folder on a real file system that runs full: a small
// tmpfs mounted in a mount namespace of the program's own. A session that ends while no
// byte fits on the disk must leave the history as it was, say why, and reach the file
// once there is room again.
#include "models/Session.h"
#include "platform/file/QtFileStore.h"
#include "services/HistoryFile.h"
#include "support/FakeWorkstations.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

#include <unistd.h>

namespace kavro {
namespace {

using testing::FakeWorkstations;
using testing::waitUntil;

const QString kProgram = QStringLiteral(KAVRO_BINARY_DIR "/src/app/kavro");
const QString kCommandLine = QStringLiteral(KAVRO_BINARY_DIR "/src/app/kavro-cli");
const QString kUnshare = QStringLiteral("/usr/bin/unshare");
// Room for the program's files and a few sessions, small enough to fill in an instant.
const QString kTmpfsOptions = QStringLiteral("size=1m,mode=0700");

// A private mount namespace: root needs only that; anyone else maps themselves to root
// in a user namespace of their own, where the kernel allows it.
QStringList namespaceArguments() {
    QStringList arguments;
    if (::geteuid() != 0) {
        arguments << QStringLiteral("--user") << QStringLiteral("--map-root-user");
    }
    return arguments << QStringLiteral("--mount");
}

// Runs `command` in a namespace of its own after mounting the tmpfs on `folder` (which
// the shell lines `before` and `after` the command know as "$0").
QStringList mountedArguments(const QString& folder, const QStringList& command, const QString& before = {},
                             const QString& after = {}) {
    const QString mount = QStringLiteral("mount -t tmpfs -o %1 kavro-full \"$0\" && ").arg(kTmpfsOptions);
    const QString script = after.isEmpty() ? mount + before + QStringLiteral(" exec \"$@\"")
                                           : mount + before + QStringLiteral(" \"$@\"; ") + after;
    return namespaceArguments() << QStringLiteral("/bin/sh") << QStringLiteral("-c") << script << folder
                                << command;
}

// Why a tmpfs cannot be mounted here (a container without the right, no unshare), or
// nothing when it can.
QString whyNoTmpfs() {
    if (!QFile::exists(kUnshare)) {
        return QStringLiteral("no %1").arg(kUnshare);
    }
    QTemporaryDir folder;
    QProcess probe;
    probe.setProcessChannelMode(QProcess::MergedChannels);
    probe.start(kUnshare, mountedArguments(folder.path(), {QStringLiteral("/bin/true")}));
    if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0) {
        return QString::fromLocal8Bit(probe.readAll()).trimmed();
    }
    return {};
}

class FullDiskTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FakeWorkstations::available() || !QFile::exists(kProgram)) {
            GTEST_SKIP() << "needs kavro and a program to copy";
        }
        if (const QString reason = whyNoTmpfs(); !reason.isEmpty()) {
            GTEST_SKIP() << "cannot mount a small tmpfs here, so no full disk to test on: "
                         << reason.toStdString();
        }
        ASSERT_TRUE(m_workstations.lock());
        ASSERT_TRUE(m_home.isValid());
        ASSERT_TRUE(QDir().mkpath(dataFolder()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        m_app.setProcessEnvironment(environment);
        m_app.setProcessChannelMode(QProcess::MergedChannels);
        QObject::connect(&m_app, &QProcess::readyRead, [this] {
            while (m_app.canReadLine()) {
                m_lines.append(QString::fromUtf8(m_app.readLine()).trimmed());
            }
        });
        m_app.start(kUnshare, mountedArguments(dataFolder(), {kProgram, QStringLiteral("--headless"),
                                                              QStringLiteral("--data-dir"), dataFolder()}));
        ASSERT_TRUE(m_app.waitForStarted(5000));
        ASSERT_TRUE(waitForLine(QStringLiteral("Kavro started"), 10000)) << output();
    }

    void TearDown() override {
        if (m_app.state() != QProcess::NotRunning) {
            m_app.kill();
            m_app.waitForFinished(5000);
        }
    }

    QString dataFolder() const { return m_home.filePath(QStringLiteral("kavro-data")); }
    // The data folder as the program sees it: only processes in its namespace see the
    // tmpfs, and its /proc root is the way in from outside.
    QString mounted(const QString& name) const {
        return QStringLiteral("/proc/%1/root%2/%3").arg(m_app.processId()).arg(dataFolder(), name);
    }

    QByteArray storedHistory() const {
        QFile file(mounted(QStringLiteral("sessions.json")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }
    qsizetype storedSessionCount() const { return QJsonDocument::fromJson(storedHistory()).array().size(); }

    // Writes a file until the disk takes no more.
    bool fillTheDisk() {
        QFile filler(mounted(QStringLiteral("filler")));
        if (!filler.open(QIODevice::WriteOnly)) {
            return false;
        }
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        return filler.error() != QFileDevice::NoError;
    }
    bool makeRoom() { return QFile::remove(mounted(QStringLiteral("filler"))); }

    // One session of a workstation, from its start to its end.
    void runSession() {
        const qsizetype started = count(QStringLiteral("Session started: REAPER"));
        const qsizetype ended = count(QStringLiteral("Session ended: REAPER"));
        QProcess& reaper = m_workstations.startAs(QStringLiteral("reaper"));
        ASSERT_TRUE(waitForLine(QStringLiteral("Session started: REAPER"), 5000, started)) << output();
        FakeWorkstations::stop(reaper);
        ASSERT_TRUE(waitForLine(QStringLiteral("Session ended: REAPER"), 5000, ended)) << output();
    }

    qsizetype count(const QString& start) const {
        return std::count_if(m_lines.begin(), m_lines.end(),
                             [&](const QString& line) { return line.startsWith(start); });
    }
    // Waits until more lines start so than the `seen` there were.
    bool waitForLine(const QString& start, int milliseconds = 5000, qsizetype seen = 0) {
        return waitUntil([&] { return count(start) > seen; }, milliseconds);
    }
    std::string output() const { return m_lines.join('\n').toStdString(); }

    FakeWorkstations m_workstations;
    QTemporaryDir m_home;
    QProcess m_app;
    QStringList m_lines;
};

TEST_F(FullDiskTest, ASessionEndingOnAFullDiskKeepsTheHistoryAndIsSavedOnceThereIsRoom) {
    runSession();
    ASSERT_EQ(storedSessionCount(), 1) << storedHistory().toStdString() << '\n' << output();
    const QByteArray before = storedHistory();

    const qsizetype started = count(QStringLiteral("Session started: REAPER"));
    QProcess& reaper = m_workstations.startAs(QStringLiteral("reaper"));
    ASSERT_TRUE(waitForLine(QStringLiteral("Session started: REAPER"), 5000, started)) << output();
    ASSERT_TRUE(fillTheDisk());
    FakeWorkstations::stop(reaper);
    ASSERT_TRUE(waitForLine(QStringLiteral("Failed to save session history: ")))
        << "the failure is reported\n"
        << output();
    ASSERT_TRUE(waitForLine(QStringLiteral("Session ended: REAPER"), 5000, 1)) << output();
    const auto failures = m_lines.filter(QStringLiteral("Failed to save session history: "));
    EXPECT_TRUE(failures.front().contains(QStringLiteral("No space left on device"))) << output();
    EXPECT_EQ(storedHistory(), before) << "the history as it was, not an empty or half file";
    const QStringList leftovers = QDir(mounted(QString()))
                                      .entryList(QDir::Files | QDir::Hidden)
                                      .filter(QStringLiteral("sessions.json"));
    EXPECT_EQ(leftovers, QStringList{QStringLiteral("sessions.json")}) << "no temporary file left behind";

    // The session that could not be saved is not lost: the next save carries it.
    ASSERT_TRUE(makeRoom());
    runSession();
    EXPECT_EQ(storedSessionCount(), 3) << storedHistory().toStdString() << '\n' << output();
}

// An export onto an existing file of a full disk: the file the user had stays, and the
// command fails with the reason instead of counting sessions it did not write.
TEST(FullDiskExportTest, AnExportOntoAFullDiskKeepsTheOldFileAndFails) {
    if (!QFile::exists(kCommandLine)) {
        GTEST_SKIP() << "kavro-cli is not built";
    }
    if (const QString reason = whyNoTmpfs(); !reason.isEmpty()) {
        GTEST_SKIP() << "cannot mount a small tmpfs here, so no full disk to test on: "
                     << reason.toStdString();
    }
    QTemporaryDir home;
    const QString history = home.filePath(QStringLiteral("sessions.json"));
    models::Session session =
        models::Session::create(QStringLiteral("REAPER"), QDateTime::currentDateTimeUtc().addSecs(-3600));
    session.endDate = session.startDate.addSecs(1800);
    platform::QtFileStore files;
    ASSERT_EQ(services::historyfile::write(files, history, {session}), std::nullopt);

    const QString folder = home.filePath(QStringLiteral("full"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QProcess command;
    command.start(
        kUnshare,
        mountedArguments(folder,
                         {kCommandLine, QStringLiteral("history"), QStringLiteral("export"),
                          QStringLiteral("--from"), today, QStringLiteral("--to"), today,
                          QStringLiteral("--file"), history, folder + QStringLiteral("/out.csv")},
                         QStringLiteral("echo 'the export of last week' > \"$0/out.csv\" && "
                                        "{ dd if=/dev/zero of=\"$0/filler\" bs=4k 2>/dev/null; true; } &&"),
                         QStringLiteral("echo \"exit $?\"; echo '--- out.csv'; cat \"$0/out.csv\"; "
                                        "ls -A \"$0\"")));
    ASSERT_TRUE(command.waitForFinished(20000));
    const QString output = QString::fromUtf8(command.readAllStandardOutput());
    const QString errors = QString::fromUtf8(command.readAllStandardError());
    EXPECT_EQ(output, QStringLiteral("exit 1\n--- out.csv\nthe export of last week\nfiller\nout.csv\n"))
        << "nothing written over the old file, no temporary file left\n"
        << errors.toStdString();
    EXPECT_EQ(errors,
              QStringLiteral("kavro-cli: cannot write %1/out.csv: No space left on device\n").arg(folder));
}

} // namespace
} // namespace kavro
