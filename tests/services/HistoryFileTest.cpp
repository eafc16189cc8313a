// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/HistoryFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <random>

namespace kavro::services {
namespace {

using models::Session;

QDateTime utc(int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(2025, 3, day), QTime(hour, minute, second), QTimeZone::utc());
}

QList<Session> twoSessions() {
    Session mixed;
    mixed.id = QUuid("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    mixed.startDate = utc(14, 9, 26, 53);
    mixed.endDate = utc(14, 11, 2, 7);
    mixed.dawName = QStringLiteral("Pro Tools, \"HD\"");
    mixed.averageSPL = 82.25;
    mixed.peakSPL = 97.5;
    mixed.doseAccumulated = 37.125;
    mixed.readings = {{utc(14, 9, 27, 53), 81.5, 0.25, 88.0}};
    mixed.peakDBC = 136.75;
    mixed.peakCount135 = 12;
    mixed.peakCount140 = 3;
    mixed.peakDBACount115 = 1;
    Session quiet = Session::create(QStringLiteral("Logic Pro"), utc(13, 20, 0));
    quiet.id = QUuid("0b3a1c52-7d2e-4f7a-9c1e-5a9d8e2f4b61");
    quiet.endDate = utc(13, 20, 0, 59);
    return {mixed, quiet};
}

// The stored form that earlier versions wrote and later ones must keep reading: the
// keys in the order of the record, four spaces per level, counters as integers, dates
// in UTC with whole seconds.
const char* const kStoredForm = R"([
    {
        "id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
        "startDate": "2025-03-14T09:26:53Z",
        "endDate": "2025-03-14T11:02:07Z",
        "dawName": "Pro Tools, \"HD\"",
        "averageSPL": 82.25,
        "peakSPL": 97.5,
        "doseAccumulated": 37.125,
        "readings": [
            {
                "timestamp": "2025-03-14T09:27:53Z",
                "dBA": 81.5,
                "dosePercentageAtTime": 0.25,
                "dBC": 88
            }
        ],
        "peakDBC": 136.75,
        "peakCount135": 12,
        "peakCount140": 3,
        "peakDBACount115": 1
    },
    {
        "id": "0B3A1C52-7D2E-4F7A-9C1E-5A9D8E2F4B61",
        "startDate": "2025-03-13T20:00:00Z",
        "endDate": "2025-03-13T20:00:59Z",
        "dawName": "Logic Pro",
        "averageSPL": 0,
        "peakSPL": 0,
        "doseAccumulated": 0,
        "readings": [],
        "peakDBC": 0,
        "peakCount135": 0,
        "peakCount140": 0,
        "peakDBACount115": 0
    }
]
)";

TEST(HistoryFileTest, WritesTheStoredFormByteForByte) {
    const auto encoded = historyfile::encode(twoSessions());
    ASSERT_TRUE(std::holds_alternative<QByteArray>(encoded));
    EXPECT_EQ(std::get<QByteArray>(encoded).toStdString(), kStoredForm);
}

TEST(HistoryFileTest, ReadsTheStoredFormAndAnyKeyOrder) {
    const QList<Session> expected = twoSessions();
    // QJsonDocument writes the keys sorted and compact: another writer's form.
    const QByteArray sortedKeys = QJsonDocument::fromJson(kStoredForm).toJson(QJsonDocument::Compact);
    for (const QByteArray& text : {QByteArray(kStoredForm), sortedKeys}) {
        const auto decoded = historyfile::decode(text);
        ASSERT_TRUE(std::holds_alternative<historyfile::Contents>(decoded))
            << std::get<QString>(decoded).toStdString();
        EXPECT_EQ(std::get<historyfile::Contents>(decoded).sessions, expected);
    }
}

// Every moment the file can hold, written and read back, is the same moment to the
// second, and writing it again gives the same text: a history never drifts or breaks
// by being saved.
TEST(HistoryFileTest, EveryDateOfTheRangeReadsBackAsWritten) {
    const QDateTime first(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59), QTimeZone::utc());
    QList<QDateTime> moments{first, last, first.toTimeZone(QTimeZone(14 * 3600)),
                             last.toTimeZone(QTimeZone(-12 * 3600)),
                             QDateTime(QDate(1969, 12, 31), QTime(23, 59, 59, 999), QTimeZone::utc())};
    for (int year : {4, 100, 400, 1582, 1600, 1900, 2000, 2024, 2100, 9996}) {
        moments.append(QDateTime(QDate(year, 2, 28), QTime(23, 59, 59), QTimeZone::utc()).addSecs(1));
    }
    std::mt19937_64 random(20250314);
    std::uniform_int_distribution<qint64> anySecond(first.toSecsSinceEpoch(), last.toSecsSinceEpoch());
    for (int i = 0; i < 5000; ++i) {
        moments.append(QDateTime::fromSecsSinceEpoch(anySecond(random), QTimeZone::utc()).addMSecs(i % 1000));
    }
    QList<Session> sessions;
    for (const QDateTime& moment : moments) {
        Session session = Session::create(QStringLiteral("Reaper"), moment);
        session.endDate = moment;
        session.readings = {{moment, 80, 1, 85}};
        sessions.append(session);
    }

    const QByteArray written = std::get<QByteArray>(historyfile::encode(sessions));
    const auto decoded = historyfile::decode(written);
    ASSERT_TRUE(std::holds_alternative<historyfile::Contents>(decoded))
        << std::get<QString>(decoded).toStdString();
    const historyfile::Contents& read = std::get<historyfile::Contents>(decoded);
    EXPECT_TRUE(read.leftOut.isEmpty()) << read.leftOut.join('\n').toStdString();
    ASSERT_EQ(read.sessions.size(), sessions.size());
    for (qsizetype i = 0; i < sessions.size(); ++i) {
        // Sub-second parts are not kept.
        const QDateTime expected = moments[i].addMSecs(-moments[i].time().msec());
        ASSERT_EQ(read.sessions[i].startDate, expected)
            << moments[i].toString(Qt::ISODateWithMs).toStdString();
        ASSERT_EQ(read.sessions[i].endDate, expected);
        ASSERT_EQ(read.sessions[i].readings.front().timestamp, expected);
    }
    EXPECT_EQ(std::get<QByteArray>(historyfile::encode(read.sessions)), written);
}

// An offset can carry a moment that reads well past the years the file can write; such a
// session is left out and named, and every other session still loads.
TEST(HistoryFileTest, ASessionDatedBeyondTheRangeIsLeftOutAndNamed) {
    QJsonArray array = QJsonDocument::fromJson(kStoredForm).array();
    const auto withDate = [&](const char* id, const char* key, const char* text) {
        QJsonObject session = array.at(1).toObject();
        session["id"] = QString::fromLatin1(id);
        if (QLatin1String(key) == QLatin1String("timestamp")) {
            session["readings"] =
                QJsonArray{QJsonObject{{"timestamp", text}, {"dBA", 80}, {"dosePercentageAtTime", 1}}};
        } else {
            session[QLatin1String(key)] = QString::fromLatin1(text);
        }
        array.append(session);
    };
    withDate("11111111-0000-4000-8000-000000000000", "startDate", "0001-01-01T00:30:00+01:00");
    withDate("22222222-0000-4000-8000-000000000000", "endDate", "9999-12-31T23:30:00-01:00");
    withDate("33333333-0000-4000-8000-000000000000", "timestamp", "9999-12-31T23:59:59-00:01");

    const auto decoded = historyfile::decode(QJsonDocument(array).toJson());
    ASSERT_TRUE(std::holds_alternative<historyfile::Contents>(decoded))
        << std::get<QString>(decoded).toStdString();
    const historyfile::Contents& read = std::get<historyfile::Contents>(decoded);
    EXPECT_EQ(read.sessions, twoSessions());
    EXPECT_EQ(
        read.leftOut,
        (QStringList{"session 2 (11111111-0000-4000-8000-000000000000) left out: its startDate lies outside "
                     "the years 1 to 9999",
                     "session 3 (22222222-0000-4000-8000-000000000000) left out: its endDate lies outside "
                     "the years 1 to 9999",
                     "session 4 (33333333-0000-4000-8000-000000000000) left out: the timestamp of its "
                     "reading 0 lies outside the years 1 to 9999"}));
}

struct BadFile {
    const char* name;
    QByteArray text;
    const char* error;
};

void PrintTo(const BadFile& file, std::ostream* os) {
    *os << file.name;
}

class HistoryFileDecodeTest : public ::testing::TestWithParam<BadFile> {};

// One line that says where the file went wrong; never a crash.
TEST_P(HistoryFileDecodeTest, FailsWithOneLine) {
    const auto decoded = historyfile::decode(GetParam().text);
    ASSERT_TRUE(std::holds_alternative<QString>(decoded));
    const QString error = std::get<QString>(decoded);
    EXPECT_TRUE(error.contains(QLatin1String(GetParam().error))) << error.toStdString();
    EXPECT_FALSE(error.contains('\n'));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HistoryFileDecodeTest,
    ::testing::Values(BadFile{"brackets", "[{\"later\": " + QByteArray(200000, '[') + "]", "deeply nested"},
                      BadFile{"truncated", QByteArray(kStoredForm).left(300), "not valid JSON"},
                      BadFile{"huge number", R"([{"averageSPL": 1e999}])", "not valid JSON"},
                      BadFile{"object", R"({"sessions": []})", "does not hold a JSON array"},
                      BadFile{"element", R"([{}, 3])", "session 0: key \"id\" is missing"},
                      BadFile{"number element", R"([3])", "session 0: not an object"}));

} // namespace
} // namespace kavro::services
