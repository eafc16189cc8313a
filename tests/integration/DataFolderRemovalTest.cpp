// SPDX-License-Identifier: GPL-3.0-or-later
// The data folder removed under a running `kavro --headless`, and a second one started
// on the same folder: real processes on real files. Whichever order they end in, every
// session of both reaches the history.
#include "support/SoundFiles.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kavro {
namespace {

using testing::waitUntil;

const QString kProgram = QStringLiteral(KAVRO_BINARY_DIR "/src/app/kavro");

class DataFolderRemovalTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(kProgram)) {
            GTEST_SKIP() << "kavro is not built";
        }
        ASSERT_TRUE(m_home.isValid());
    }

    QString folder() const { return m_home.filePath(QStringLiteral("data")); }

    // A program playing <name>.wav as its microphone, so that its session, named after
    // the file, starts at once; it ends, and is saved, when the program is asked to quit.
    QProcess& start(const QString& name) {
        const QString sound = m_home.filePath(name + QStringLiteral(".wav"));
        EXPECT_TRUE(testsupport::writeWav(sound, 48000, 1, 4800, [](long, int) { return 0.1F; }));
        auto& process = *m_processes.emplace_back(std::make_unique<QProcess>());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(kProgram, {QStringLiteral("--headless"), QStringLiteral("--input-file"), sound,
                                 QStringLiteral("--loop"), QStringLiteral("--data-dir"), folder()});
        EXPECT_TRUE(waitUntil(
            [&] {
                process.waitForReadyRead(50);
                m_output[&process] += process.readAll();
                return m_output[&process].contains("Session started: " + name.toUtf8());
            },
            10000))
            << m_output[&process].toStdString();
        return process;
    }

    QString quit(QProcess& process) {
        process.terminate();
        EXPECT_TRUE(process.waitForFinished(10000));
        return QString::fromUtf8(m_output[&process] + process.readAll());
    }

    QStringList storedSessions() const {
        QFile file(QDir(folder()).filePath(QStringLiteral("sessions.json")));
        QStringList names;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QJsonValue& session : QJsonDocument::fromJson(file.readAll()).array()) {
                names << session.toObject().value(QStringLiteral("dawName")).toString();
            }
        }
        names.sort();
        return names;
    }
    QStringList leftForTheNextWriter() const {
        return QDir(folder()).entryList({QStringLiteral("unsaved-sessions-*")}, QDir::Files);
    }

    QTemporaryDir m_home;
    std::vector<std::unique_ptr<QProcess>> m_processes;
    std::map<QProcess*, QByteArray> m_output;
};

TEST_F(DataFolderRemovalTest, NoSessionIsLostToASecondWriterOnARemovedFolder) {
    // The second ends first: the first takes its lock back and adds to what it saved.
    QProcess& first = start(QStringLiteral("first"));
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    QProcess& second = start(QStringLiteral("second"));
    quit(second);
    EXPECT_EQ(storedSessions(), QStringList{"second.wav"});
    const QString firstOutput = quit(first);
    EXPECT_FALSE(firstOutput.contains(QStringLiteral("Failed to save"))) << firstOutput.toStdString();
    EXPECT_EQ(storedSessions(), (QStringList{"first.wav", "second.wav"}));

    // The first ends first: it writes nothing into the folder the second holds, and
    // leaves its session in a file of its own, which the next start takes in.
    QProcess& third = start(QStringLiteral("third"));
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    QProcess& fourth = start(QStringLiteral("fourth"));
    const QString thirdOutput = quit(third);
    EXPECT_TRUE(thirdOutput.contains(
        QStringLiteral(
            "Failed to save session history: the lock of %1 was removed while this program ran, and "
            "Kavro (process %2) has kept the history there since")
            .arg(folder())
            .arg(fourth.processId())))
        << thirdOutput.toStdString();
    EXPECT_EQ(leftForTheNextWriter().size(), 1);
    quit(fourth);
    EXPECT_EQ(storedSessions(), QStringList{"fourth.wav"});
    quit(start(QStringLiteral("fifth")));
    EXPECT_EQ(storedSessions(), (QStringList{"fifth.wav", "fourth.wav", "third.wav"}));
    EXPECT_TRUE(leftForTheNextWriter().isEmpty());
}

} // namespace
} // namespace kavro
