// SPDX-License-Identifier: GPL-3.0-or-later
// The checkpoint of the running session: what a run that is killed, crashes or loses
// power leaves behind, and what the next launch makes of it.
#include "services/SessionCheckpoint.h"
#include "platform/WriterLock.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/MemoryFileStore.h"
#include "services/HistoryFile.h"
#include "services/SessionManager.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kavro::services {
namespace {

using models::Session;

QDateTime utc(int hour, int minute, int second = 0) {
    return QDateTime(QDate(2025, 3, 14), QTime(hour, minute, second), QTimeZone::utc());
}

class SessionCheckpointTest : public ::testing::Test {
protected:
    static inline const QString kFolder = QStringLiteral("/home/ada/.local/share/Kavro");
    static QString historyPath() { return SessionManager::historyFileIn(kFolder); }
    static QString checkpointPath() { return SessionManager::checkpointFileIn(kFolder); }

    std::unique_ptr<SessionManager> launch() {
        return std::make_unique<SessionManager>(clock, files, kFolder);
    }
    QList<Session> historyOnDisk() const {
        const auto decoded = historyfile::decode(files.file(historyPath()).value_or("[]"));
        return std::get<historyfile::Contents>(decoded).sessions;
    }
    std::optional<SessionCheckpoint> checkpointOnDisk() const {
        const auto bytes = files.file(checkpointPath());
        if (!bytes) {
            return std::nullopt;
        }
        return std::get<SessionCheckpoint>(SessionCheckpoint::decode(*bytes));
    }

    // A session of a minute at 80 dB with one reading, checkpointed at its reading, then
    // half a minute more that no checkpoint saw. The program is then killed.
    Session runAndKill(const QString& name = QStringLiteral("REAPER")) {
        auto manager = launch();
        manager->startSession(name);
        EXPECT_FALSE(manager->saveCheckpoint(0.10, 0.10));
        for (int tick = 0; tick < 600; ++tick) {
            clock.advance(0.1);
            manager->updateStatistics(80, 120, 100);
        }
        manager->addReading(80, 85, 30);
        EXPECT_FALSE(manager->saveCheckpoint(0.30, 0.10));
        const Session atCheckpoint = *manager->currentSession();
        clock.advance(30);
        manager->updateStatistics(100, 141, 120, 30);
        return atCheckpoint;
    }

    platform::testing::ManualClock clock{utc(9, 0)};
    platform::testing::MemoryFileStore files;
};

TEST_F(SessionCheckpointTest, ReadsBackAsWritten) {
    SessionCheckpoint checkpoint;
    SessionCheckpoint::Running running;
    running.session = Session::create(QStringLiteral("Bitwig Studio"), utc(9, 0));
    running.session.averageSPL = 83.25;
    running.session.peakCount135 = 4;
    running.session.readings = {{utc(9, 1), 82.5, 12.25, 88}};
    running.savedAt = utc(9, 1, 30);
    running.sampleCount = 900;
    running.energySum = 1.9e10;
    running.measuredSeconds = 90.1;
    running.accumulatedDose = 0.3;
    running.sessionStartDose = 0.1;
    checkpoint.running = running;
    Session unsaved = Session::create(QStringLiteral("Reaper"), utc(8, 0));
    unsaved.endDate = utc(8, 30);
    unsaved.doseAccumulated = 7.5;
    checkpoint.unsaved = {unsaved};

    const auto decoded = SessionCheckpoint::decode(std::get<QByteArray>(checkpoint.encode()));
    ASSERT_TRUE(std::holds_alternative<SessionCheckpoint>(decoded))
        << std::get<QString>(decoded).toStdString();
    EXPECT_EQ(std::get<SessionCheckpoint>(decoded), checkpoint);

    for (const QByteArray& broken : {QByteArray("[]"), QByteArray("{\"running\": 3}"),
                                     QByteArray("{\"running\": {\"savedAt\": \"2025-03-14T09:00:00Z\"}}"),
                                     QByteArray("{\"unsaved\": [{}]}"), QByteArray("{")}) {
        EXPECT_TRUE(std::holds_alternative<QString>(SessionCheckpoint::decode(broken)))
            << broken.toStdString();
    }
}

TEST_F(SessionCheckpointTest, TheRunningSessionIsCheckpointedAndTheCheckpointGoesWithItsEnd) {
    auto manager = launch();
    manager->startSession("REAPER");
    clock.advance(60);
    manager->updateStatistics(90, 0, 0, 60);
    ASSERT_FALSE(manager->saveCheckpoint(0.25, 0.05));
    EXPECT_EQ(files.mode(checkpointPath()), 0600) << "a health record like the history";
    const auto checkpoint = checkpointOnDisk();
    ASSERT_TRUE(checkpoint && checkpoint->running);
    EXPECT_EQ(checkpoint->running->session, *manager->currentSession());
    EXPECT_EQ(checkpoint->running->savedAt, utc(9, 1));
    EXPECT_EQ(checkpoint->running->measuredSeconds, 60);
    EXPECT_EQ(checkpoint->running->accumulatedDose, 0.25);

    ASSERT_FALSE(manager->endSession(0.25, 0.05));
    EXPECT_FALSE(files.exists(checkpointPath()));
}

TEST_F(SessionCheckpointTest, AfterAKillTheSessionIsStoredAsAtItsLastCheckpoint) {
    const Session atCheckpoint = runAndKill();

    auto relaunched = launch();
    const auto recovery = relaunched->recoverCheckpoint();
    EXPECT_FALSE(recovery.problem);
    ASSERT_TRUE(recovery.running);
    EXPECT_EQ(relaunched->closeRecoveredSession(*recovery.running), std::nullopt);

    ASSERT_EQ(relaunched->sessionHistory().size(), 1);
    const Session& stored = relaunched->sessionHistory().front();
    EXPECT_EQ(stored.id, atCheckpoint.id);
    EXPECT_EQ(stored.endDate, utc(9, 1)) << "at most the minute since the checkpoint is lost";
    EXPECT_NEAR(stored.doseAccumulated, 20.0, 1e-9);
    EXPECT_NEAR(stored.averageSPL, 80, 1e-9);
    EXPECT_EQ(stored.peakCount135, 0);
    EXPECT_EQ(stored.readings, atCheckpoint.readings);
    EXPECT_EQ(historyOnDisk().size(), 1);
    EXPECT_FALSE(files.exists(checkpointPath()));

    // Another launch finds nothing more to recover.
    auto third = launch();
    EXPECT_FALSE(third->recoverCheckpoint().running);
    EXPECT_EQ(third->sessionHistory().size(), 1);
}

TEST_F(SessionCheckpointTest, AResumedSessionGoesOnWithItsSumsAndItsClock) {
    const Session atCheckpoint = runAndKill();
    clock.advance(15); // the restart

    auto relaunched = launch();
    const auto recovery = relaunched->recoverCheckpoint();
    ASSERT_TRUE(recovery.running);
    relaunched->resumeSession(*recovery.running);
    ASSERT_TRUE(relaunched->currentSession());
    EXPECT_EQ(relaunched->currentSession()->id, atCheckpoint.id);
    EXPECT_EQ(relaunched->sessionNow(), clock.now());

    relaunched->updateStatistics(100, 0, 0, 60);
    EXPECT_NEAR(relaunched->currentSession()->averageSPL, 10 * std::log10((60e8 + 60e10) / 120), 1e-9)
        << "the sums go on from the checkpoint";
    clock.advance(60);
    ASSERT_FALSE(relaunched->endSession(0.4, 0.1));
    EXPECT_EQ(relaunched->sessionHistory().front().endDate, utc(9, 2, 45));
    EXPECT_EQ(relaunched->sessionHistory().front().readings.size(), 1);
}

TEST_F(SessionCheckpointTest, AClockSetBackBeforeTheRestartResumesAtTheCheckpoint) {
    runAndKill();
    clock.setWallClock(utc(8, 55));
    auto relaunched = launch();
    const auto recovery = relaunched->recoverCheckpoint();
    ASSERT_TRUE(recovery.running);
    relaunched->resumeSession(*recovery.running);
    EXPECT_EQ(relaunched->sessionNow(), utc(9, 1));
}

// A full disk: the session's save into the large history fails, the small checkpoint
// still fits and keeps it, and the next launch puts it into the history.
TEST_F(SessionCheckpointTest, ASessionWhoseSaveFailedIsKeptInTheCheckpointUntilItIsSaved) {
    QList<Session> earlier;
    for (int day = 1; day <= 10; ++day) {
        Session session = Session::create(QStringLiteral("Cubase"), utc(6, 0).addDays(-day));
        session.endDate = session.startDate.addSecs(3600);
        for (int minute = 1; minute <= 60; ++minute) {
            session.readings.append({session.startDate.addSecs(60 * minute), 80, minute * 0.1, 85});
        }
        earlier.append(session);
    }
    files.put(historyPath(), std::get<QByteArray>(historyfile::encode(earlier)));
    auto manager = launch();
    files.freeBytes = 4096;
    manager->startSession("REAPER");
    clock.advance(300);
    const auto error = manager->endSession(0.2, 0.1);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->endsWith("No space left on device")) << error->toStdString();
    const auto checkpoint = checkpointOnDisk();
    ASSERT_TRUE(checkpoint);
    EXPECT_FALSE(checkpoint->running);
    ASSERT_EQ(checkpoint->unsaved.size(), 1);
    EXPECT_EQ(checkpoint->unsaved.front(), manager->sessionHistory().front());
    manager.reset(); // quit, or killed: the save never succeeded

    files.freeBytes.reset();
    auto relaunched = launch();
    EXPECT_EQ(relaunched->sessionHistory().size(), 10);
    const auto recovery = relaunched->recoverCheckpoint();
    EXPECT_FALSE(recovery.problem);
    EXPECT_FALSE(recovery.running);
    EXPECT_EQ(relaunched->sessionHistory().size(), 11);
    EXPECT_EQ(historyOnDisk().size(), 11);
    EXPECT_EQ(historyOnDisk().front().dawName, "REAPER");
    EXPECT_FALSE(files.exists(checkpointPath()));
}

TEST_F(SessionCheckpointTest, ASessionAlreadyInTheHistoryIsNotRecoveredTwice) {
    auto manager = launch();
    manager->startSession("REAPER");
    clock.advance(60);
    ASSERT_FALSE(manager->saveCheckpoint(0.1, 0));
    files.removeError = QStringLiteral("Permission denied");
    ASSERT_FALSE(manager->endSession(0.1, 0));
    ASSERT_TRUE(files.exists(checkpointPath()));
    files.removeError.reset();

    auto relaunched = launch();
    EXPECT_FALSE(relaunched->recoverCheckpoint().running);
    EXPECT_EQ(relaunched->sessionHistory().size(), 1);
    EXPECT_FALSE(files.exists(checkpointPath()));
}

// A checkpoint the program cannot take as its own is reported and moved aside, as it
// was, never deleted or imported: one that is not understood, one too large to read, one
// from a clock that ran years ahead (its sessions would outlive every pruning).
TEST_F(SessionCheckpointTest, ACheckpointThatCannotBeTakenIsReportedAndKeptAsideAsItWas) {
    const auto datedAt = [](const QDateTime& moment) {
        SessionCheckpoint checkpoint;
        checkpoint.running = SessionCheckpoint::Running{};
        checkpoint.running->session = Session::create(QStringLiteral("REAPER"), moment);
        checkpoint.running->savedAt = moment.addSecs(60);
        return std::get<QByteArray>(checkpoint.encode());
    };
    const QString tooLarge =
        QStringLiteral("the file is 513 MB, more than the 512 MB a file read here may have");
    struct Case {
        const char* name;
        QByteArray contents;
        std::optional<QString> readError;
        QString problem; // empty: recovered
    };
    for (const Case& test : {Case{"not JSON", "{\"running\": ", {}, "cannot use %1: not valid JSON"},
                             Case{"oversized", "{}", tooLarge, "cannot read %1: " + tooLarge},
                             Case{"dated 2099",
                                  datedAt(utc(9, 0).addYears(74)),
                                  {},
                                  "cannot use %1: it is dated 2099-03-14T09:01:00Z"},
                             Case{"dated 9999",
                                  datedAt(QDateTime(QDate(9999, 12, 31), QTime(23, 0), QTimeZone::utc())),
                                  {},
                                  "cannot use %1: it is dated 9999-12-31T23:01:00Z"},
                             Case{"a clock a few minutes ahead", datedAt(utc(9, 5)), {}, {}}}) {
        files = {};
        files.put(checkpointPath(), test.contents);
        auto manager = launch();
        files.readError = test.readError;
        const auto recovery = manager->recoverCheckpoint();
        files.readError.reset();
        EXPECT_EQ(recovery.running.has_value(), test.problem.isEmpty()) << test.name;
        EXPECT_TRUE(manager->sessionHistory().isEmpty()) << test.name;
        if (test.problem.isEmpty()) {
            continue;
        }
        ASSERT_TRUE(recovery.problem) << test.name;
        EXPECT_TRUE(recovery.problem->startsWith(test.problem.arg(checkpointPath())))
            << recovery.problem->toStdString();
        EXPECT_EQ(files.filePaths(), QStringList{checkpointPath() + ".unreadable-20250314T090000Z"})
            << test.name;
        EXPECT_EQ(files.file(files.filePaths().value(0)), test.contents) << test.name;
    }
}

// The lock of the data folder as the test sets it, one answer after the other.
class ScriptedLock : public platform::WriterLock {
public:
    QList<std::variant<Standing, QString>> answers;
    std::variant<Standing, QString> confirm() override {
        return answers.size() > 1 ? answers.takeFirst() : answers.value(0, Standing::held);
    }
};

// The folder removed under a running program, and another one started on it: while the
// other holds it nothing is written there; once it is taken back, what the other saved,
// and the session it left in its checkpoint when it was killed, join this history.
TEST_F(SessionCheckpointTest, ALostLockWritesNothingAndTakenBackKeepsWhatTheOtherWrote) {
    ScriptedLock lock;
    auto manager = launch();
    manager->setWriterLock(&lock);
    manager->startSession("REAPER");
    ASSERT_FALSE(manager->saveCheckpoint(0.1, 0.1));

    files = {};
    Session theirs = Session::create(QStringLiteral("Ardour"), utc(9, 2));
    theirs.endDate = utc(9, 3);
    files.put(historyPath(), std::get<QByteArray>(historyfile::encode({theirs})));
    SessionCheckpoint killed;
    killed.running =
        SessionCheckpoint::Running{Session::create(QStringLiteral("Bitwig"), utc(9, 4)), utc(9, 6)};
    files.put(checkpointPath(), std::get<QByteArray>(killed.encode()));
    const auto theirFiles = files.filePaths();
    const auto theirHistory = files.file(historyPath());

    clock.advance(600);
    lock.answers = {QStringLiteral("held by process 42")};
    EXPECT_EQ(manager->endSession(0.3, 0.1), QStringLiteral("held by process 42"));
    EXPECT_EQ(files.file(historyPath()), theirHistory);
    EXPECT_EQ(files.file(checkpointPath()), std::get<QByteArray>(killed.encode()));
    const QStringList own = files.filesStartingWith(kFolder, SessionManager::kRescuePrefix);
    ASSERT_EQ(own.size(), 1) << "the session waits in a file of its own";
    EXPECT_EQ(std::get<SessionCheckpoint>(SessionCheckpoint::decode(*files.file(own.front()))).unsaved,
              QList{manager->sessionHistory().front()});
    EXPECT_EQ(files.filePaths().size(), theirFiles.size() + 1);

    lock.answers = {platform::WriterLock::Standing::retaken, platform::WriterLock::Standing::held};
    ASSERT_EQ(manager->saveHistory(), std::nullopt);
    QStringList names;
    for (const Session& session : historyOnDisk()) {
        names << session.dawName;
    }
    EXPECT_EQ(names, (QStringList{"Bitwig", "Ardour", "REAPER"})) << "by start, newest first";
    EXPECT_EQ(historyOnDisk().value(0).endDate, std::optional(utc(9, 6))) << "closed at its checkpoint";
    EXPECT_EQ(files.filePaths(), QStringList{historyPath()});
}

} // namespace
} // namespace kavro::services
