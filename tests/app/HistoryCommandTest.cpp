// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HistoryCommand.h"
#include "models/SessionCsv.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/SettingKey.h"
#include "platform/file/QtFileStore.h"
#include "platform/testing/ManualClock.h"
#include "services/HistoryFile.h"
#include "support/CommandRun.h"
#include "support/HistoryDays.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>

namespace keys = kavro::platform::keys;

namespace kavro::cli {
namespace {

using models::Session;

using testing::berlin;
using testing::kBerlin;
using testing::kToday;

Session completed(const char* name, const QDateTime& start, int minutes, double dose) {
    return testing::completedSession(start, dose, minutes, QString::fromLatin1(name));
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class HistoryCommandTest : public ::testing::Test {
protected:
    HistoryCommandTest() : clock(berlin(kToday, 16), kBerlin) {
        Session loud = completed("Pro Tools", berlin(kToday.addDays(-1), 23, 50), 40, 30);
        loud.peakSPL = 99.5;
        loud.peakDBC = 137.25;
        loud.peakCount135 = 3;
        loud.calibration = models::CalibrationRecord{.method = models::CalibrationRecord::Method::calibrator,
                                                     .offset = 113.7,
                                                     .deviceName = QStringLiteral("USB Mic"),
                                                     .sampleRate = 48000,
                                                     .referenceLevel = 94.0,
                                                     .weighting = QStringLiteral("C")};
        history = {completed("Ableton Live", berlin(kToday, 9), 90, 20), loud,
                   Session::create("Running", berlin(kToday.addDays(-2), 10)),
                   completed("Logic Pro", berlin(kToday.addDays(-3), 14), 30, 10)};
        EXPECT_FALSE(services::historyfile::write(files, path(), history));
    }

    QString path() const { return dir.filePath("sessions.json"); }
    void rewrite(const QByteArray& text) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    int run(const QStringList& args) {
        auto result = testsupport::runCommand(
            [&](const QStringList& a, CommandContext& context) {
                return runHistory(a, context, {clock, preferences, files, path()});
            },
            args);
        out = result.out;
        err = result.err;
        return result.exitCode;
    }

    QJsonObject stats(const QString& from, const QString& to) {
        EXPECT_EQ(run({"stats", "--from", from, "--to", to, "--json"}), kExitOk) << err.toStdString();
        return QJsonDocument::fromJson(out.toUtf8()).object();
    }

    QTemporaryDir dir;
    platform::QtFileStore files;
    platform::testing::ManualClock clock;
    platform::MemoryPreferencesStore preferences;
    QList<Session> history;
    QString out;
    QString err;
};

TEST_F(HistoryCommandTest, ListShowsCompletedSessionsOfTheRangeOldestFirst) {
    ASSERT_EQ(run({"list"}), kExitOk);
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("2025-03-11 14:00-14:30")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("2025-03-13 23:50-00:30")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains("30.00%"));
    EXPECT_TRUE(lines[1].contains("99.5 dBA"));
    EXPECT_TRUE(lines[1].endsWith("Pro Tools"));

    // The session that crossed midnight belongs to the day it started.
    ASSERT_EQ(run({"list", "--from", "2025-03-13", "--to", "2025-03-13"}), kExitOk);
    EXPECT_EQ(out.count('\n'), 1);
    ASSERT_EQ(run({"--file", path(), "list", "--from", "2025-03-14"}), kExitOk);
    EXPECT_TRUE(out.contains("Ableton Live"));
    EXPECT_EQ(out.count('\n'), 1);
}

TEST_F(HistoryCommandTest, DetailsShowEachSessionsCalibrationOrThatItIsUnknown) {
    ASSERT_EQ(run({"list", "--details", "--from", "2025-03-13"}), kExitOk);
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << out.toStdString();
    EXPECT_EQ(lines[1],
              "    calibration: 113.7 dB, sound calibrator (94.0 dBC), USB Mic channel 1, 48000 Hz, "
              "correction off");
    EXPECT_EQ(lines[3], "    calibration: unknown");
}

TEST_F(HistoryCommandTest, StatsUseTheStoredDoseOfToday) {
    preferences.setDouble(keys::accumulatedDose.name, 0.55);
    preferences.setDate(keys::doseDate.name, berlin(kToday, 15));
    const QJsonObject json = stats("2025-03-10", "2025-03-14");
    EXPECT_EQ(json.value("rangeDays").toInt(), 5);
    EXPECT_EQ(json.value("sessionCount").toInt(), 3);
    EXPECT_DOUBLE_EQ(json.value("totalDose").toDouble(), 95);
    EXPECT_DOUBLE_EQ(json.value("averageDosePerDay").toDouble(), 19);
    double energy = 0;
    for (double dose : {55.0, 30.0, 10.0}) {
        energy += std::pow(10.0, (85 + 3 * std::log2(dose / 100)) / 10);
    }
    EXPECT_NEAR(json.value("euWeeklyLevel").toDouble(), 10 * std::log10(energy / 5), 1e-9);
    EXPECT_EQ(json.value("peakSPL").toDouble(), 99.5);
    EXPECT_EQ(json.value("peakDBC").toDouble(), 137.25);
    EXPECT_EQ(json.value("impulses135").toInt(), 3);
    EXPECT_EQ(json.size(), 8);
}

TEST_F(HistoryCommandTest, StaleStoredDoseFallsBackToTodaysSessions) {
    preferences.setDouble(keys::accumulatedDose.name, 0.9);
    preferences.setDate(keys::doseDate.name, berlin(kToday.addDays(-1), 22));
    EXPECT_DOUBLE_EQ(stats("2025-03-14", "2025-03-14").value("totalDose").toDouble(), 20);
}

TEST_F(HistoryCommandTest, StatsWithoutValuesWriteNull) {
    const QJsonObject json = stats("2025-03-01", "2025-03-04");
    EXPECT_EQ(json.value("sessionCount").toInt(), 0);
    EXPECT_TRUE(json.value("euWeeklyLevel").isNull());
    EXPECT_TRUE(json.value("peakSPL").isNull());
    EXPECT_TRUE(json.value("peakDBC").isNull());

    ASSERT_EQ(run({"stats", "--from", "2025-03-01", "--to", "2025-03-04"}), kExitOk);
    EXPECT_TRUE(out.contains("none (needs at least 5 days)")) << out.toStdString();
}

TEST_F(HistoryCommandTest, ExportWritesTheSameCsvAsTheApplication) {
    const QString csvPath = dir.filePath("out.csv");
    ASSERT_EQ(run({"export", "--from", "2025-03-12", "--to", "2025-03-14", csvPath}), kExitOk)
        << err.toStdString();
    const QList<Session> expected{history[0], history[1]};
    EXPECT_EQ(readAll(csvPath), models::csv::csvString(expected, kBerlin, clock.now()).toUtf8());
    EXPECT_EQ(out, "2 sessions written to " + csvPath + "\n");
}

struct BadCall {
    QStringList args;
    int exitCode;
    const char* message;
};

void PrintTo(const BadCall& call, std::ostream* os) {
    *os << call.args.join(' ').toStdString();
}

class HistoryCommandErrorTest : public HistoryCommandTest, public ::testing::WithParamInterface<BadCall> {};

TEST_P(HistoryCommandErrorTest, ExplainsTheProblem) {
    const BadCall& call = GetParam();
    EXPECT_EQ(run(call.args), call.exitCode);
    EXPECT_TRUE(err.contains(call.message)) << err.toStdString();
    EXPECT_TRUE(out.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Calls, HistoryCommandErrorTest,
    ::testing::Values(
        BadCall{{}, kExitUsage, "needs list, stats, export or week"},
        BadCall{{"delete"}, kExitUsage, "unknown history command"},
        BadCall{{"stats", "--from", "2025-03-01"}, kExitUsage, "needs --from DATE and --to DATE"},
        BadCall{{"list", "--from", "14.03.2025"}, kExitUsage, "--from needs a date as yyyy-MM-dd"},
        BadCall{{"list", "--to", "2025-02-30"}, kExitUsage, "--to needs a date"},
        BadCall{{"stats", "--from", "2025-03-10", "--to", "2025-03-01"}, kExitUsage, "reversed"},
        BadCall{{"stats", "--from", "2025-03-10", "--to", "2025-03-15"}, kExitUsage, "after today"},
        BadCall{{"export", "--from", "2025-03-10", "--to", "2025-03-14"}, kExitUsage, "OUT.csv"},
        BadCall{{"list", "--json"}, kExitUsage, "--json belongs to stats"},
        BadCall{{"stats", "--details", "--from", "2025-03-14", "--to", "2025-03-14"},
                kExitUsage,
                "--details belongs to list"},
        BadCall{{"list", "--file", "/nonexistent/sessions.json"}, kExitFailure, "no history file at"},
        // A device that never ends is refused, not read until the memory runs out.
        BadCall{{"list", "--file", "/dev/zero"}, kExitFailure, "/dev/zero: not a regular file"},
        BadCall{{"list", "--file", "/"}, kExitFailure, "cannot read /: Is a directory"}));

// What makes a file unreadable is the history file's own test; each command says so in
// one line naming the file and the cause, and leaves the file alone.
TEST_F(HistoryCommandTest, UnreadableFileIsOneLineAndLeftAlone) {
    const QByteArray broken = R"([{"id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}])";
    rewrite(broken);
    for (const QStringList& args :
         {QStringList{"list"}, QStringList{"stats", "--from", "2025-03-14", "--to", "2025-03-14"},
          QStringList{"export", "--from", "2025-03-14", "--to", "2025-03-14", dir.filePath("out.csv")}}) {
        EXPECT_EQ(run(args), kExitFailure);
        EXPECT_TRUE(err.startsWith("kavro-cli: cannot use the history file " + path() + ": "))
            << err.toStdString();
        EXPECT_TRUE(err.contains("startDate")) << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1);
        EXPECT_TRUE(out.isEmpty());
    }
    EXPECT_EQ(readAll(path()), broken);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"sessions.json"});
}

TEST_F(HistoryCommandTest, ASessionDatedBeyondYear9999IsNamedAndTheRestListed) {
    rewrite(readAll(path()).replace("2025-03-11T13:00:00Z", "9999-12-31T23:30:00-01:00"));
    ASSERT_EQ(run({"list"}), kExitOk);
    EXPECT_EQ(out.count('\n'), 2) << out.toStdString();
    EXPECT_FALSE(out.contains("Logic Pro"));
    EXPECT_TRUE(err.contains("session 3 (")) << err.toStdString();
    EXPECT_TRUE(err.contains("left out: its startDate lies outside the years 1 to 9999"))
        << err.toStdString();
}

} // namespace
} // namespace kavro::cli

namespace kavro::cli {
namespace {

// The weekly dose as a restarted program finds it: the stored sessions give the days
// before today, days without sessions count nothing, and the figure the application
// stored today gives today.
TEST_F(HistoryCommandTest, WeekAddsTheStoredDaysAndTodaysStoredFigure) {
    Session earlier = completed("Logic Pro", berlin(kToday.addDays(-3), 14), 30, 10);
    earlier.soundExposure = 0.4; // a quarter of 1.6 Pa²h
    ASSERT_FALSE(services::historyfile::write(files, path(), {earlier}));
    preferences.setValue(keys::criteriaToday.name,
                         QByteArray(R"({"savedAt":"2025-03-14T08:00:00.000Z","whoWeekly":0.5})"));

    ASSERT_EQ(run({"week", "--json"}), kExitOk) << err.toStdString();
    const QJsonObject week = QJsonDocument::fromJson(out.toUtf8()).object();
    EXPECT_NEAR(week.value("weeklyDose").toDouble(), 75.0, 1e-9);
    const QJsonArray days = week.value("days").toArray();
    ASSERT_EQ(days.size(), 7);
    const std::array<double, 7> expected{0, 0, 0, 25, 0, 0, 50};
    for (qsizetype i = 0; i < days.size(); ++i) {
        EXPECT_NEAR(days[i].toObject().value("weeklyDose").toDouble(), expected[static_cast<std::size_t>(i)],
                    1e-9)
            << days[i].toObject().value("day").toString().toStdString();
    }
}

// The export with criteria is the standard export with columns after the standard ones.
TEST_F(HistoryCommandTest, ExportWithCriteriaAddsColumnsAfterTheStandardOnes) {
    const QString plainPath = dir.filePath("plain.csv");
    const QString criteriaPath = dir.filePath("criteria.csv");
    ASSERT_EQ(run({"export", "--from", "2025-03-12", "--to", "2025-03-14", plainPath}), kExitOk);
    ASSERT_EQ(run({"export", "--from", "2025-03-12", "--to", "2025-03-14", "--criteria", criteriaPath}),
              kExitOk);
    const QList<QByteArray> plain = readAll(plainPath).split('\n');
    const QList<QByteArray> withCriteria = readAll(criteriaPath).split('\n');
    ASSERT_EQ(plain.size(), withCriteria.size());
    for (qsizetype i = 0; i < plain.size(); ++i) {
        EXPECT_TRUE(withCriteria[i].startsWith(plain[i] + ',')) << withCriteria[i].toStdString();
    }
}

} // namespace
} // namespace kavro::cli
