// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/SessionManager.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/FixedDestinationChooser.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/MemoryFileStore.h"
#include "services/DoseCalculator.h"
#include "services/HistoryFile.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>

namespace kavro::services {
namespace {

using models::Session;
using platform::testing::ManualClock;

const QTimeZone kBerlin("Europe/Berlin");

QDateTime berlin(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), kBerlin);
}

Session completed(const QString& name, const QDateTime& start, int minutes, double dose) {
    Session session = Session::create(name, start);
    session.endDate = start.addSecs(minutes * 60);
    session.doseAccumulated = dose;
    return session;
}

class SessionManagerTest : public ::testing::Test {
protected:
    SessionManagerTest() : clock(berlin(2025, 3, 14, 10, 26, 53), kBerlin) {}

    static inline const QString kFolder = QStringLiteral("/home/ada/.local/share/Kavro");
    static QString path() { return kFolder + "/sessions.json"; }
    std::unique_ptr<SessionManager> makeManager() {
        return std::make_unique<SessionManager>(clock, files, kFolder);
    }
    QByteArray readAll(const QString& file) const { return files.file(file).value_or(QByteArray()); }

    void writeHistory(const QList<Session>& sessions) {
        files.put(path(), std::get<QByteArray>(historyfile::encode(sessions)));
    }

    platform::testing::MemoryFileStore files;
    ManualClock clock;
};

TEST_F(SessionManagerTest, StartingAgainKeepsTheSessionAndOnlyRenames) {
    auto manager = makeManager();
    manager->startSession("Ableton Live");
    const Session first = *manager->currentSession();
    EXPECT_EQ(first.startDate, clock.now());
    EXPECT_FALSE(first.id.isNull());

    clock.advance(120);
    manager->updateStatistics(90, 0, 0);
    manager->startSession("Ableton Live");
    manager->startSession("Logic Pro");
    const Session& renamed = *manager->currentSession();
    EXPECT_EQ(renamed.id, first.id);
    EXPECT_EQ(renamed.startDate, first.startDate);
    EXPECT_EQ(renamed.dawName, "Logic Pro");
    EXPECT_EQ(renamed.peakSPL, 90);
}

TEST_F(SessionManagerTest, TicksKeepEnergeticMeanPeaksAndImpulseCounts) {
    auto manager = makeManager();
    manager->updateStatistics(100, 141, 120); // no session: ignored
    manager->addReading(100, 100, 10);
    manager->startSession("Reaper");
    QSignalSpy changed(manager.get(), &SessionManager::changed);

    manager->updateStatistics(80, 134.9, 114.9);
    manager->updateStatistics(90, 141, 115);
    manager->updateStatistics(100, 135, 50);
    const Session& session = *manager->currentSession();
    EXPECT_NEAR(session.averageSPL, 10 * std::log10((1e8 + 1e9 + 1e10) / 3), 1e-9);
    EXPECT_NEAR(session.averageSPL, 95.7, 0.05);
    EXPECT_EQ(session.peakSPL, 100);
    EXPECT_EQ(session.peakDBC, 141);
    EXPECT_EQ(session.peakCount135, 2);
    EXPECT_EQ(session.peakCount140, 1);
    EXPECT_EQ(session.peakDBACount115, 1);
    EXPECT_EQ(changed.count(), 3);

    clock.advance(60);
    manager->addReading(88.5, 95.25, 12.5);
    ASSERT_EQ(session.readings.size(), 1);
    EXPECT_EQ(session.readings[0], (models::SPLReading{clock.now(), 88.5, 12.5, 95.25}));
}

TEST_F(SessionManagerTest, TheAverageIsTheLAeqOfTheMeasuredAudio) {
    auto manager = makeManager();
    manager->startSession("Reaper");
    manager->updateStatistics(100, 0, 0);
    EXPECT_FALSE(manager->endSession(0, 0));
    // A new session starts afresh, and a tick that carried more audio weighs more.
    manager->startSession("Reaper");
    manager->updateStatistics(80, 0, 0, 0.3);
    manager->updateStatistics(100, 0, 0, 0.1);
    EXPECT_NEAR(manager->currentSession()->averageSPL, 10 * std::log10((0.3e8 + 0.1e10) / 0.4), 1e-9);
    EXPECT_EQ(manager->currentSession()->peakSPL, 100);
}

// A level that is not a number is no measurement. Let into the record it would make the
// session, and with it every later save of the history, fail.
TEST_F(SessionManagerTest, LevelsThatAreNotNumbersAreNotMeasurements) {
    auto manager = makeManager();
    manager->startSession("Reaper");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    manager->updateStatistics(90, 100, 100);
    manager->updateStatistics(nan, 100, 100);
    manager->updateStatistics(infinity, 100, 100);
    manager->updateStatistics(90, nan, 100);
    manager->updateStatistics(90, 100, 100, nan);
    manager->addReading(nan, 80, 1);
    manager->addReading(80, 80, infinity);
    EXPECT_NEAR(manager->currentSession()->averageSPL, 90, 1e-9);
    EXPECT_TRUE(manager->currentSession()->readings.isEmpty());
    EXPECT_EQ(manager->endSession(0.1, 0), std::nullopt);
    EXPECT_EQ(manager->sessionHistory().size(), 1);
}

// The wall clock can be set back (or forward) during a session; the session's times
// come from the clock that never goes back, so it never ends before it started.
struct ClockChange {
    const char* name;
    int wallClockStepSeconds;
};

void PrintTo(const ClockChange& change, std::ostream* os) {
    *os << change.name;
}

class SessionClockTest : public SessionManagerTest, public ::testing::WithParamInterface<ClockChange> {};

TEST_P(SessionClockTest, DurationIsTheTimeThatPassed) {
    auto manager = makeManager();
    manager->startSession("Reaper");
    const QDateTime start = manager->currentSession()->startDate;
    clock.advance(120);
    clock.setWallClock(clock.now().addSecs(GetParam().wallClockStepSeconds));
    manager->addReading(85, 90, 1);
    clock.advance(60);
    EXPECT_EQ(manager->sessionNow(), start.addSecs(180));
    ASSERT_EQ(manager->endSession(0.1, 0), std::nullopt);

    const Session& stored = manager->sessionHistory().front();
    EXPECT_EQ(stored.startDate, start);
    EXPECT_EQ(stored.endDate, start.addSecs(180));
    EXPECT_EQ(stored.readings.front().timestamp, start.addSecs(120));
    EXPECT_EQ(stored.durationFormatted(clock.now()), "3m");
    EXPECT_EQ(manager->sessionNow(), clock.now()) << "without a session, the wall clock";
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SessionClockTest,
    ::testing::Values(ClockChange{"unchanged", 0}, ClockChange{"set_back_an_hour", -3600},
                      ClockChange{"set_forward_an_hour", 3600}, ClockChange{"set_back_a_year", -365 * 86400}),
    [](const ::testing::TestParamInfo<ClockChange>& test) { return std::string(test.param.name); });

TEST_F(SessionManagerTest, EndStoresTheDoseShareAtTheFrontAndSaves) {
    writeHistory({completed("Cubase", berlin(2025, 3, 13, 9, 0), 60, 20)});
    auto manager = makeManager();
    manager->startSession("Ableton Live");
    manager->updateStatistics(85, 0, 0);
    clock.advance(5400.7);
    platform::MemoryPreferencesStore preferences;
    DoseCalculator dose(preferences, clock);
    dose.reconcileWithSessions(35);
    dose.setSessionStartDose(0.20);
    EXPECT_FALSE(manager->endSession(dose));

    EXPECT_FALSE(manager->currentSession());
    ASSERT_EQ(manager->sessionHistory().size(), 2);
    const Session& ended = manager->sessionHistory().front();
    EXPECT_EQ(ended.dawName, "Ableton Live");
    EXPECT_NEAR(ended.doseAccumulated, 15.0, 1e-9);
    EXPECT_EQ(*ended.endDate, clock.now());

    // The file holds both, newest first, with dates cut to whole seconds.
    const QByteArray text = readAll(path());
    EXPECT_TRUE(text.contains("\"endDate\": \"2025-03-14T10:56:53Z\"")) << text.constData();
    EXPECT_TRUE(text.contains("\n        \"dawName\""));
    const auto reloaded = makeManager();
    ASSERT_EQ(reloaded->sessionHistory().size(), 2);
    EXPECT_EQ(reloaded->sessionHistory().front().id, ended.id);
    EXPECT_EQ(reloaded->sessionHistory().back().dawName, "Cubase");
}

// Thirty calendar days back from 10 April (summer time) is 11 March 12:00 winter time:
// 719 hours, not 720.
TEST_F(SessionManagerTest, PruningCountsCalendarDaysAcrossDaylightSaving) {
    const QDateTime now = berlin(2025, 4, 10, 12, 0);
    writeHistory({completed("29 days", now.addDays(-29), 10, 1),
                  completed("31 days", now.addDays(-31), 10, 1),
                  completed("30 days", now.addDays(-30), 10, 1),
                  completed("under 720 h", now.addSecs(-(720 * 3600 - 1800)), 10, 1),
                  completed("under 719 h", now.addSecs(-(719 * 3600 - 60)), 10, 1)});
    clock.set(now);
    auto manager = makeManager();
    QStringList kept;
    for (const Session& session : manager->sessionHistory()) {
        kept.append(session.dawName);
    }
    EXPECT_EQ(kept, (QStringList{"29 days", "under 719 h"}));

    // Pruning on load does not rewrite the file; the next end of a session does.
    EXPECT_EQ(historyfile::decode(readAll(path())).index(), 0u);
    EXPECT_EQ(std::get<0>(historyfile::decode(readAll(path()))).sessions.size(), 5);
    clock.advance(12 * 3600);
    manager->startSession("Reaper");
    EXPECT_FALSE(manager->endSession(0, 0));
    const auto saved = std::get<0>(historyfile::decode(readAll(path()))).sessions;
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[0].dawName, "Reaper");
    EXPECT_EQ(saved[1].dawName, "29 days");
}

// A file the program cannot read empties the history, reports why, and is kept beside
// the new file at the next save instead of being lost. What makes a file unreadable is
// the history file's own test; the manager treats every such file alike.
TEST_F(SessionManagerTest, UnreadableFileEmptiesHistoryAndIsKeptOnce) {
    const QByteArray broken = "not json at all";
    files.put(path(), broken);

    auto manager = makeManager();
    ASSERT_TRUE(manager->openingProblems().load);
    EXPECT_FALSE(manager->openingProblems().load->contains('\n')) << "one console line";
    EXPECT_FALSE(manager->openingProblems().folder);
    EXPECT_TRUE(manager->sessionHistory().isEmpty());
    EXPECT_EQ(readAll(path()), broken); // untouched until a save

    manager->startSession("Reaper");
    clock.advance(600);
    EXPECT_FALSE(manager->endSession(0.1, 0));
    const QString keptPath = path() + ".unreadable-20250314T093653Z";
    EXPECT_EQ(readAll(keptPath), broken);
    EXPECT_EQ(std::get<0>(historyfile::decode(readAll(path()))).sessions.size(), 1);

    EXPECT_FALSE(manager->saveHistory());
    EXPECT_EQ(files.filePaths(), (QStringList{path(), keptPath}));
}

// A session whose date the file cannot hold (an offset carries it beyond year 9999) once
// blocked every later save; now it is left out by name, the rest loads and saves, and
// the file as it was is kept.
TEST_F(SessionManagerTest, ASessionDatedBeyondTheYearsTheFileHoldsIsLeftOutAndSavesGoOn) {
    writeHistory({completed("Cubase", berlin(2025, 3, 13, 9, 0), 60, 20)});
    QByteArray stored = readAll(path());
    Session farOff = completed("Far off", berlin(2025, 3, 13, 12, 0), 60, 5);
    farOff.id = QUuid("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    QByteArray farOffJson = std::get<QByteArray>(historyfile::encode({farOff}));
    farOffJson.replace("2025-03-13T12:00:00Z", "9999-12-31T23:30:00-01:00");
    stored.chop(3); // "\n]\n"
    stored += "," + farOffJson.mid(1);
    files.put(path(), stored);

    auto manager = makeManager();
    ASSERT_TRUE(manager->openingProblems().load);
    EXPECT_TRUE(manager->openingProblems().load->contains("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"))
        << manager->openingProblems().load->toStdString();
    ASSERT_EQ(manager->sessionHistory().size(), 1);

    manager->startSession("Reaper");
    clock.advance(600);
    EXPECT_EQ(manager->endSession(0.1, 0), std::nullopt);
    const auto saved = std::get<historyfile::Contents>(historyfile::decode(readAll(path())));
    EXPECT_EQ(saved.sessions.size(), 2);
    EXPECT_TRUE(saved.leftOut.isEmpty());
    EXPECT_EQ(readAll(path() + ".unreadable-20250314T093653Z"), stored);
}

TEST_F(SessionManagerTest, ReadableFileAfterAFailureIsNotMovedAside) {
    files.put(path(), "broken");
    auto manager = makeManager();
    writeHistory({completed("Cubase", berlin(2025, 3, 13, 9, 0), 60, 20)});
    EXPECT_FALSE(manager->loadHistory());
    EXPECT_FALSE(manager->saveHistory());
    EXPECT_EQ(files.filePaths(), QStringList{path()});
    EXPECT_EQ(manager->sessionHistory().size(), 1);
}

TEST_F(SessionManagerTest, FileThatCannotBeMovedAsideIsNotOverwritten) {
    files.put(path(), "broken");
    auto manager = makeManager();
    files.renameError = QStringLiteral("Permission denied");
    manager->startSession("Reaper");
    const auto error = manager->endSession(0.1, 0);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->contains("Permission denied")) << error->toStdString();
    EXPECT_EQ(readAll(path()), "broken");
    EXPECT_EQ(manager->sessionHistory().size(), 1) << "the session stays in memory";

    files.renameError.reset();
    EXPECT_FALSE(manager->saveHistory());
    EXPECT_EQ(files.filePaths().size(), 2);
}

// A session whose save failed lives only in memory: reading the file again (as midnight
// does) must not replace it with the older file. It is saved first; while that fails,
// the file is not read.
TEST_F(SessionManagerTest, ReadingTheFileAgainNeverDropsChangesThatWereNotSaved) {
    writeHistory({completed("Cubase", berlin(2025, 3, 13, 9, 0), 60, 20)});
    auto manager = makeManager();
    files.writeError = QStringLiteral("Permission denied");
    manager->startSession("Reaper");
    clock.advance(600);
    ASSERT_TRUE(manager->endSession(0.1, 0));
    EXPECT_TRUE(manager->hasUnsavedChanges());

    const auto refused = manager->loadHistory();
    ASSERT_TRUE(refused);
    EXPECT_EQ(*refused, "not read again, since changes to it could not be saved: cannot write " + path() +
                            ": Permission denied");
    ASSERT_EQ(manager->sessionHistory().size(), 2);
    EXPECT_EQ(manager->sessionHistory().front().dawName, "Reaper");

    files.writeError.reset();
    EXPECT_EQ(manager->loadHistory(), std::nullopt);
    EXPECT_FALSE(manager->hasUnsavedChanges());
    ASSERT_EQ(manager->sessionHistory().size(), 2);
    EXPECT_EQ(std::get<0>(historyfile::decode(readAll(path()))).sessions.size(), 2);

    // A deletion that did not reach the file is kept the same way.
    files.writeError = QStringLiteral("Permission denied");
    manager->removeSession(manager->sessionHistory().front().id);
    EXPECT_TRUE(manager->loadHistory());
    EXPECT_EQ(manager->sessionHistory().size(), 1);
}

TEST_F(SessionManagerTest, MissingFileIsAnEmptyHistoryAndNothingRunningEndsNothing) {
    auto manager = makeManager();
    EXPECT_FALSE(manager->openingProblems().load);
    EXPECT_FALSE(manager->openingProblems().folder);
    EXPECT_TRUE(files.hasFolder(kFolder));
    EXPECT_FALSE(manager->endSession(1, 0));
    EXPECT_TRUE(manager->sessionHistory().isEmpty());
    EXPECT_FALSE(files.exists(path()));
}

TEST_F(SessionManagerTest, FailedWritesAreReportedAndLeaveMemoryAndFileAlone) {
    writeHistory({completed("Cubase", berlin(2025, 3, 13, 9, 0), 60, 20)});
    const QByteArray before = readAll(path());
    auto manager = makeManager();

    // A date the file cannot hold (a wall clock beyond year 9999), then a disk that
    // refuses the write.
    const QDateTime now = clock.now();
    clock.setWallClock(QDateTime(QDate(10000, 1, 1), QTime(0, 0), QTimeZone::utc()));
    manager->startSession("Reaper");
    clock.setWallClock(now);
    const auto unencodable = manager->endSession(0.2, 0.1);
    ASSERT_TRUE(unencodable);
    EXPECT_TRUE(unencodable->contains("cannot represent")) << unencodable->toStdString();

    files.writeError = QStringLiteral("No space left on device");
    manager->removeSession(manager->sessionHistory().front().id);
    const auto refused = manager->saveHistory();
    ASSERT_TRUE(refused);
    EXPECT_EQ(*refused, "cannot write " + path() + ": No space left on device");
    EXPECT_EQ(manager->sessionHistory().size(), 1);
    EXPECT_EQ(readAll(path()), before);
}

TEST_F(SessionManagerTest, FolderThatCannotBeCreatedIsReportedAtOpeningAndOnSave) {
    files.folderError = QStringLiteral("Not a directory");
    auto manager = makeManager();
    EXPECT_EQ(manager->openingProblems().folder, "cannot create " + kFolder + ": Not a directory");
    const auto saveError = manager->saveHistory();
    ASSERT_TRUE(saveError);
    EXPECT_TRUE(saveError->contains("Not a directory"));

    files.folderError.reset();
    EXPECT_FALSE(manager->saveHistory()) << "the folder is created when the disk allows it";
    EXPECT_TRUE(files.exists(path()));
}

TEST_F(SessionManagerTest, TodayCountsSessionsByTheirStartDay) {
    clock.set(berlin(2025, 3, 14, 12, 0));
    writeHistory({completed("morning", berlin(2025, 3, 14, 9, 0), 30, 10),
                  completed("dawn", berlin(2025, 3, 14, 0, 5), 15, 4),
                  completed("late night", berlin(2025, 3, 13, 23, 50), 40, 30)});
    auto manager = makeManager();
    const auto today = manager->todaysSessions();
    ASSERT_EQ(today.size(), 2);
    EXPECT_EQ(today[0].dawName, "morning");
    EXPECT_EQ(manager->todaysTotalDuration(), 45 * 60);
    EXPECT_EQ(manager->todaysTotalDurationFormatted(), "0h 45m");
    EXPECT_EQ(manager->todaysCompletedDose(), 14);

    manager->removeTodaysSessions();
    ASSERT_EQ(manager->sessionHistory().size(), 1);
    EXPECT_EQ(manager->sessionHistory()[0].dawName, "late night");
}

TEST_F(SessionManagerTest, RemovingASessionKeepsTheOrderOfTheOthers) {
    const Session a = completed("a", berlin(2025, 3, 14, 9, 0), 1, 0);
    const Session b = completed("b", berlin(2025, 3, 13, 9, 0), 1, 0);
    const Session c = completed("c", berlin(2025, 3, 12, 9, 0), 1, 0);
    writeHistory({a, b, b, c});
    auto manager = makeManager();
    EXPECT_EQ(manager->removeSession(b.id), 2);
    ASSERT_EQ(manager->sessionHistory().size(), 2);
    EXPECT_EQ(manager->sessionHistory()[0].id, a.id);
    EXPECT_EQ(manager->sessionHistory()[1].id, c.id);
}

class SessionExportTest : public SessionManagerTest {
protected:
    void SetUp() override {
        manager = makeManager();
        manager->setDestinationChooser(&chooser);
    }
    std::unique_ptr<SessionManager> manager;
    platform::testing::FixedDestinationChooser chooser;
    QList<Session> sessions{completed("Studio One, \"Pro\"", berlin(2025, 3, 14, 9, 0), 30, 12.5)};
};

TEST_F(SessionExportTest, WritesTheCsvAsUtf8WithoutByteOrderMark) {
    chooser.answer = "/home/ada/export.csv";
    manager->exportCSV(sessions, "Kavro Sessions 2025-03-14.csv");
    EXPECT_EQ(chooser.suggestedNames, QStringList{"Kavro Sessions 2025-03-14.csv"});
    EXPECT_EQ(chooser.suffixes, QStringList{"csv"});
    const QByteArray bytes = readAll("/home/ada/export.csv");
    // The columns and their quoting are the CSV's own test; no byte order mark goes before them.
    EXPECT_EQ(bytes, manager->csvString(sessions).toUtf8());
    EXPECT_EQ(files.mode("/home/ada/export.csv"), platform::testing::MemoryFileStore::kUserFileMode)
        << "an export is the user's file like any other";
}

TEST_F(SessionExportTest, EmptyListAsksNothingAndCancelWritesNothing) {
    QSignalSpy failures(manager.get(), &SessionManager::csvExportFailed);
    manager->exportCSV({}, "x.csv");
    EXPECT_TRUE(chooser.suggestedNames.isEmpty());
    manager->exportCSV(sessions, "x.csv");
    EXPECT_EQ(chooser.suggestedNames.size(), 1);
    EXPECT_EQ(files.writeCount(), 0);
    EXPECT_EQ(failures.count(), 0);
}

TEST_F(SessionExportTest, FailuresAreReported) {
    QSignalSpy failures(manager.get(), &SessionManager::csvExportFailed);
    chooser.answer = "/no such folder/export.csv";
    manager->exportCSV(sessions, "x.csv");
    manager->setDestinationChooser(nullptr);
    manager->exportCSV(sessions, "x.csv");
    ASSERT_EQ(failures.count(), 2);
    EXPECT_EQ(failures.at(0).at(0).toString(), "No such file or directory");
    EXPECT_EQ(failures.at(1).at(0).toString(), "no save dialog is available");
}

} // namespace
} // namespace kavro::services
