// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/SessionCsv.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace kavro::models {
namespace {

const QTimeZone kBerlin("Europe/Berlin");

QDateTime utc(int year, int month, int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

Session session(const QString& name, const QDateTime& start, int minutes) {
    Session s = Session::create(name, start);
    s.endDate = start.addSecs(minutes * 60 + 3);
    return s;
}

// A German locale uses a decimal comma; the file must not.
class SessionCsvTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = QLocale();
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    void TearDown() override { QLocale::setDefault(m_previous); }

private:
    QLocale m_previous;
};

TEST_F(SessionCsvTest, RowsAreExactOldestFirstAndSkipRunningSessions) {
    Session loud = session("Pro Tools", utc(2025, 3, 14, 20, 15, 9), 95);
    loud.averageSPL = 88.04;
    loud.peakSPL = 101.25;
    loud.peakDBC = 139.96;
    loud.peakCount135 = 42;
    loud.peakCount140 = 7;
    loud.peakDBACount115 = 2;
    loud.doseAccumulated = 123.456;
    Session quiet = session("Logic Pro", utc(2025, 3, 13, 8, 0, 0), 30);
    quiet.doseAccumulated = 0;
    Session running = Session::create("Reaper", utc(2025, 3, 12, 8, 0, 0));

    const QString csv = csv::csvString({loud, running, quiet}, kBerlin, utc(2025, 3, 15, 0, 0));
    const QString expected = QStringLiteral(
        "Date,DAW,Start,End,Duration (min),Avg dBA,Peak dBA,Peak dBC,Impulses ≥135 dBC,Impulses ≥140 dBC,"
        "Peaks ≥115 dBA,Dose %\n"
        "2025-03-13,Logic Pro,09:00:00,09:30:03,30.1,,,,0,0,0,0.00\n"
        "2025-03-14,Pro Tools,21:15:09,22:50:12,95.0,88.0,101.2,140.0,42,7,2,123.46");
    EXPECT_EQ(csv.toStdString(), expected.toStdString());
}

TEST_F(SessionCsvTest, SessionAcrossMidnightUsesTheStartDay) {
    const QString csv = csv::csvString({session("Cubase", utc(2025, 3, 14, 22, 50, 0), 20)}, kBerlin, {});
    EXPECT_TRUE(csv.endsWith("\n2025-03-14,Cubase,23:50:00,00:10:03,20.1,,,,0,0,0,0.00"))
        << csv.toStdString();
}

TEST_F(SessionCsvTest, OnlyHeaderForNoCompletedSession) {
    EXPECT_EQ(csv::csvString({}, kBerlin, {}), QString::fromUtf8(csv::kHeader));
}

// With a day that starts at 06:00, a session that starts at 01:00 belongs to the day
// before; its times stay the real ones, and extra columns follow the standard ones.
TEST_F(SessionCsvTest, LaterDayStartNamesTheDayBeforeAndExtraColumnsFollow) {
    const csv::Options options{kBerlin, {}, 6 * 60, {{"Extra", [](const Session& s) { return s.dawName; }}}};
    const QString csv = csv::csvString({session("Cubase", utc(2025, 3, 14, 0, 0, 0), 20)}, options);
    EXPECT_TRUE(csv.startsWith(QString::fromUtf8(csv::kHeader) + ",Extra\n")) << csv.toStdString();
    EXPECT_TRUE(csv.endsWith("\n2025-03-13,Cubase,01:00:00,01:20:03,20.1,,,,0,0,0,0.00,Cubase"))
        << csv.toStdString();
}

// The extended export names each session's calibration and source in as many fields as
// its header has, whatever the names hold; sessions from before either are "unknown".
TEST_F(SessionCsvTest, ExtendedColumnsKeepTheirPlaceWhateverTheNamesHold) {
    Session measured = session("Cubase", utc(2025, 3, 14, 9, 0, 0), 20);
    measured.calibration = CalibrationRecord{.offset = 113.7, .deviceName = QStringLiteral("Mic, USB \"2\"")};
    measured.output = Session::OutputSource{QStringLiteral("Built-in, Headphones"), true};
    const Session older = session("Logic Pro", utc(2025, 3, 13, 9, 0, 0), 20);
    const csv::Options options{kBerlin, {}, 0, csv::extendedColumns()};
    const QStringList lines = csv::csvString({measured, older}, options).split('\n');
    ASSERT_EQ(lines.size(), 3);
    const auto fieldCount = [](const QString& line) {
        qsizetype count = 1;
        bool quoted = false;
        for (const QChar c : line) {
            quoted = c == '"' ? !quoted : quoted;
            count += (c == ',' && !quoted) ? 1 : 0;
        }
        return count;
    };
    for (const QString& line : lines) {
        EXPECT_EQ(fieldCount(line), fieldCount(lines[0])) << line.toStdString();
    }
    EXPECT_TRUE(lines[1].contains(",unknown,")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].contains(",113.7,")) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains("\"Mic, USB \"\"2\"\"\"")) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(",\"Output · Built-in, Headphones (estimated)\""))
        << lines[2].toStdString();
}

TEST(SessionCsvFieldTest, WorkstationNamesAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(csv::dawField("Ableton Live"), "Ableton Live");
    EXPECT_EQ(csv::dawField("Studio One, Pro"), "\"Studio One, Pro\"");
    EXPECT_EQ(csv::dawField("My \"Main\" DAW"), "\"My \"\"Main\"\" DAW\"");
    EXPECT_EQ(csv::dawField("Two\nLines"), "\"Two\nLines\"");
    EXPECT_EQ(csv::dawField(""), "");
}

} // namespace
} // namespace kavro::models
