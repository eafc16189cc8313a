// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/Session.h"
#include "models/IndentedJsonWriter.h"
#include "models/JsonFields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace kavro::models {
namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

// A record through its text form, as the history file stores it.
template <typename Record> std::variant<Record, QString> decode(const QByteArray& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        return error.errorString();
    }
    return Record::fromJson(document.object());
}

template <typename Record> QByteArray encode(const Record& record) {
    IndentedJsonWriter writer;
    record.writeJson(writer);
    EXPECT_TRUE(writer.ok());
    return writer.take();
}

// The encoded record as a generic JSON object, to look at single keys.
QJsonObject asObject(const QByteArray& text) {
    return QJsonDocument::fromJson(text).object();
}

// A record's text with one key replaced by `valueText`, or removed when it is null.
QByteArray withKey(const QByteArray& text, const char* key, const char* valueText) {
    QJsonObject object = asObject(text);
    object.remove(key);
    QByteArray changed = QJsonDocument(object).toJson();
    if (valueText) {
        changed.insert(changed.indexOf('{') + 1, QByteArray("\"") + key + "\": " + valueText + ",");
    }
    return changed;
}

Session completedSession() {
    Session session = Session::create(QStringLiteral("Ableton Live"), utc(2025, 3, 14, 9, 26, 53));
    session.endDate = utc(2025, 3, 14, 11, 2, 7);
    session.averageSPL = 82.25;
    session.peakSPL = 97.5;
    session.doseAccumulated = 37.125;
    session.peakDBC = 136.75;
    session.peakCount135 = 12;
    session.peakCount140 = 3;
    session.peakDBACount115 = 1;
    session.readings = {{utc(2025, 3, 14, 9, 27, 53), 81.5, 0.25, 88.0},
                        {utc(2025, 3, 14, 9, 28, 53), 83.0, 0.5, 90.25}};
    return session;
}

TEST(HistoryDateTest, WritesUtcWholeSecondsWithZ) {
    const auto written = [](const QDateTime& moment) {
        SPLReading reading{moment, 0, 0, 0};
        return asObject(encode(reading)).value("timestamp").toString().toStdString();
    };
    const QDateTime berlin(QDate(2025, 3, 14), QTime(10, 26, 53, 870), QTimeZone("Europe/Berlin"));
    EXPECT_EQ(written(berlin), "2025-03-14T09:26:53Z");
    EXPECT_EQ(written(utc(1969, 12, 31, 23, 59, 59).addMSecs(500)), "1969-12-31T23:59:59Z");
    EXPECT_EQ(written(utc(2024, 2, 29, 0, 0, 0)), "2024-02-29T00:00:00Z");
    EXPECT_EQ(written(utc(1, 1, 1, 0, 0, 0)), "0001-01-01T00:00:00Z");
    EXPECT_EQ(written(utc(9999, 12, 31, 23, 59, 59)), "9999-12-31T23:59:59Z");
}

TEST(HistoryDateTest, YearsWithoutFourDigitsCannotBeWritten) {
    for (const QDateTime& moment : {utc(10000, 1, 1, 0, 0), utc(-5, 6, 1, 0, 0), QDateTime()}) {
        IndentedJsonWriter writer;
        writer.value(moment);
        EXPECT_FALSE(writer.ok()) << moment.toString().toStdString();
    }
}

TEST(HistoryDateTest, ReadsOffsetsAndRejectsZonelessOrMalformedText) {
    EXPECT_EQ(JsonFields::parseDate("2025-03-14T09:26:53Z"), utc(2025, 3, 14, 9, 26, 53));
    EXPECT_EQ(JsonFields::parseDate("2025-03-14T10:26:53+01:00"), utc(2025, 3, 14, 9, 26, 53));
    for (const char* text :
         {"2025-03-14T09:26:53", "2025-02-30T09:26:53Z", "14/03/2025 09:26", "2025-03-14T09:2x:53Z", ""}) {
        EXPECT_FALSE(JsonFields::parseDate(text)) << text;
    }
}

// The stored form itself is held byte for byte by the history file's test; here, names
// with every kind of character survive, and other writers' escapes read back.
TEST(SessionJsonTest, AnyNameRoundTripsAndForeignEscapesDecode) {
    Session session = completedSession();
    session.dawName = QStringLiteral("Studio \"B\" \\ Mix\tRoom\n\u00e9\u266b\U0001F3B5\u0001");
    const auto decoded = decode<Session>(encode(session));
    ASSERT_TRUE(std::holds_alternative<Session>(decoded)) << std::get<QString>(decoded).toStdString();
    EXPECT_EQ(std::get<Session>(decoded), session);

    const auto escaped =
        decode<Session>(withKey(encode(session), "dawName", R"("A\/B \ud83c\udfb5 \u00E9 \"x\"")"));
    ASSERT_TRUE(std::holds_alternative<Session>(escaped)) << std::get<QString>(escaped).toStdString();
    EXPECT_EQ(std::get<Session>(escaped).dawName, QStringLiteral("A/B \U0001F3B5 \u00e9 \"x\""));
}

TEST(SessionJsonTest, RunningSessionHasNoEndDateKeyAndStaysRunning) {
    Session session = completedSession();
    session.endDate.reset();
    session.readings.clear();
    const QByteArray text = encode(session);
    EXPECT_FALSE(asObject(text).contains("endDate"));
    const auto decoded = decode<Session>(text);
    ASSERT_TRUE(std::holds_alternative<Session>(decoded));
    EXPECT_EQ(std::get<Session>(decoded), session);
}

// A session measured throughout by the microphone is written as before unmeasured time
// and output sources were recorded, so that older programs read it unchanged.
TEST(SessionJsonTest, UnmeasuredTimeAndOutputSourceAreWrittenOnlyWhenSet) {
    Session session = completedSession();
    const QJsonObject plain = asObject(encode(session));
    EXPECT_FALSE(plain.contains("unmeasuredSeconds"));
    EXPECT_FALSE(plain.contains("source"));
    session.unmeasuredSeconds = 52.5;
    session.output = Session::OutputSource{QStringLiteral("Built-in Audio · Headphones"), false};
    const auto decoded = decode<Session>(encode(session));
    ASSERT_TRUE(std::holds_alternative<Session>(decoded)) << std::get<QString>(decoded).toStdString();
    EXPECT_EQ(std::get<Session>(decoded), session);
}

TEST(SessionJsonTest, CalibrationRoundTripsAndAnUnreadableOneReadsAsUnknown) {
    Session session = completedSession();
    session.calibration = CalibrationRecord{.method = CalibrationRecord::Method::calibrator,
                                            .offset = 113.7,
                                            .setAt = utc(2025, 3, 1, 8, 0),
                                            .deviceUID = QStringLiteral("alsa_input.usb-mic"),
                                            .deviceName = QStringLiteral("USB Mic"),
                                            .channel = 1,
                                            .sampleRate = 44100,
                                            .correction = true,
                                            .correctionDate = utc(2025, 2, 27, 18, 30),
                                            .referenceLevel = 94.0,
                                            .weighting = QStringLiteral("Z")};
    const QByteArray text = encode(session);
    const auto decoded = decode<Session>(text);
    ASSERT_TRUE(std::holds_alternative<Session>(decoded)) << std::get<QString>(decoded).toStdString();
    EXPECT_EQ(std::get<Session>(decoded), session);

    for (const char* broken :
         {R"({"offset": "loud", "method": "calibrator"})", R"({"offset": 94, "method": "x"})", "[1]"}) {
        const auto unreadable = decode<Session>(withKey(text, "calibration", broken));
        ASSERT_TRUE(std::holds_alternative<Session>(unreadable)) << broken;
        EXPECT_FALSE(std::get<Session>(unreadable).calibration) << broken;
        EXPECT_EQ(std::get<Session>(unreadable).doseAccumulated, session.doseAccumulated);
    }
}

// The criteria's figures, like unmeasured time, are written only when there are some.
TEST(SessionJsonTest, CriteriaFiguresAreWrittenOnlyWhenThereAreSome) {
    Session session = completedSession();
    const QJsonObject plain = asObject(encode(session));
    for (const char* key : {"soundExposure", "oshaPelDose", "oshaHearingConservationDose"}) {
        EXPECT_FALSE(plain.contains(QLatin1String(key))) << key;
    }
    session.soundExposure = 0.25;
    session.oshaPelDose = 12.5;
    session.oshaHearingConservationDose = 40;
    const auto decoded = decode<Session>(encode(session));
    ASSERT_TRUE(std::holds_alternative<Session>(decoded)) << std::get<QString>(decoded).toStdString();
    EXPECT_EQ(std::get<Session>(decoded), session);
}

// A session stored before its sound exposure was counted gives it from its LAeq over
// the time it was measured: an hour at 95 dBA is 1.26 Pa²h, half of it unmeasured half that.
TEST(SessionJsonTest, OlderSessionsEstimateTheirSoundExposure) {
    Session session = completedSession();
    session.endDate = session.startDate.addSecs(3600);
    session.averageSPL = 95;
    EXPECT_NEAR(session.soundExposureOrEstimate(), 1.2649, 1e-4);
    session.unmeasuredSeconds = 1800;
    EXPECT_NEAR(session.soundExposureOrEstimate(), 1.2649 / 2, 1e-4);
    session.soundExposure = 0.5;
    EXPECT_EQ(session.soundExposureOrEstimate(), 0.5) << "a counted exposure is taken as it is";
}

TEST(SessionJsonTest, OlderRecordsWithoutNewerKeysReadAsZero) {
    const auto decoded = decode<Session>(R"({
        "id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "startDate": "2025-03-14T09:00:00Z",
        "endDate": null, "dawName": "Logic Pro", "averageSPL": 80, "peakSPL": 90, "doseAccumulated": 5,
        "readings": [{"timestamp": "2025-03-14T09:01:00Z", "dBA": 80.5, "dosePercentageAtTime": 1.5}],
        "comment": {"written by": ["a", "later", "version", 1, true, null]}})");
    ASSERT_TRUE(std::holds_alternative<Session>(decoded)) << std::get<QString>(decoded).toStdString();
    const Session& session = std::get<Session>(decoded);
    EXPECT_EQ(session.id, QUuid("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));
    EXPECT_FALSE(session.endDate);
    EXPECT_EQ(session.peakDBC, 0.0);
    EXPECT_EQ(session.peakCount135, 0);
    EXPECT_EQ(session.peakCount140, 0);
    EXPECT_EQ(session.peakDBACount115, 0);
    EXPECT_EQ(session.unmeasuredSeconds, 0.0);
    EXPECT_FALSE(session.calibration);
    EXPECT_FALSE(session.output) << "measured by the microphone";
    ASSERT_EQ(session.readings.size(), 1);
    EXPECT_EQ(session.readings[0].dBC, 0.0);
    EXPECT_EQ(session.readings[0].dBA, 80.5);
}

// Each case breaks one key of an otherwise valid record; the error must name it.
struct BrokenRecord {
    const char* key;
    const char* replacement; // JSON text of the new value, or nullptr to drop the key
};

// Names the case in test listings.
void PrintTo(const BrokenRecord& broken, std::ostream* os) {
    *os << broken.key << " = " << (broken.replacement ? broken.replacement : "(missing)");
}

class SessionJsonFailureTest : public ::testing::TestWithParam<BrokenRecord> {};

TEST_P(SessionJsonFailureTest, RejectsRecordAndNamesKey) {
    const BrokenRecord broken = GetParam();
    const auto decoded = decode<Session>(withKey(encode(completedSession()), broken.key, broken.replacement));
    ASSERT_TRUE(std::holds_alternative<QString>(decoded));
    EXPECT_TRUE(std::get<QString>(decoded).contains(broken.key)) << std::get<QString>(decoded).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    RequiredAndMistyped, SessionJsonFailureTest,
    ::testing::Values(BrokenRecord{"id", nullptr}, BrokenRecord{"startDate", nullptr},
                      BrokenRecord{"dawName", nullptr}, BrokenRecord{"averageSPL", nullptr},
                      BrokenRecord{"peakSPL", nullptr}, BrokenRecord{"doseAccumulated", nullptr},
                      BrokenRecord{"readings", nullptr}, BrokenRecord{"id", "\"not-a-uuid\""},
                      BrokenRecord{"startDate", "\"14.03.2025 09:26\""},
                      BrokenRecord{"endDate", "\"yesterday\""}, BrokenRecord{"peakSPL", "\"97\""},
                      BrokenRecord{"peakCount135", "2.5"}, BrokenRecord{"readings", "{}"},
                      BrokenRecord{"dawName", "null"}));

// A reading missing any of its required keys fails the whole session, and says which.
TEST(SessionJsonTest, BadReadingFailsTheSession) {
    for (const char* key : {"timestamp", "dBA", "dosePercentageAtTime"}) {
        QJsonObject reading{{"timestamp", "2025-03-14T09:01:00Z"}, {"dBA", 80}, {"dosePercentageAtTime", 1}};
        reading.remove(key);
        const QByteArray readings =
            QJsonDocument(QJsonArray{asObject(encode(completedSession().readings[0])), reading}).toJson();
        const auto decoded =
            decode<Session>(withKey(encode(completedSession()), "readings", readings.constData()));
        ASSERT_TRUE(std::holds_alternative<QString>(decoded)) << key;
        EXPECT_EQ(std::get<QString>(decoded), QStringLiteral("reading 1: key \"%1\" is missing").arg(key));
    }
}

TEST(SessionJsonTest, NonFiniteNumbersCannotBeWritten) {
    Session session = completedSession();
    session.readings[1].dBA = -std::numeric_limits<double>::infinity();
    IndentedJsonWriter writer;
    session.writeJson(writer);
    EXPECT_FALSE(writer.ok());
}

TEST(SessionTest, DurationFormatted) {
    Session session = Session::create("Reaper", utc(2025, 3, 14, 9, 0));
    const auto endingAfter = [&](int seconds) {
        session.endDate = session.startDate.addSecs(seconds);
        return session.durationFormatted(utc(2030, 1, 1, 0, 0)).toStdString();
    };
    EXPECT_EQ(endingAfter(59), "0m");
    EXPECT_EQ(endingAfter(3599), "59m");
    EXPECT_EQ(endingAfter(3600), "1h 0m");
    EXPECT_EQ(endingAfter(3900), "1h 5m");
    EXPECT_EQ(endingAfter(9000), "2h 30m");
    // Written by a version that took the end from a wall clock set back: no time passed.
    EXPECT_EQ(endingAfter(-3540), "0m");
    EXPECT_EQ(session.durationSeconds(utc(2030, 1, 1, 0, 0)), 0.0);

    session.endDate.reset();
    EXPECT_EQ(session.durationFormatted(utc(2025, 3, 14, 9, 42, 30)).toStdString(), "42m");
    EXPECT_EQ(session.durationFormatted(utc(2025, 3, 14, 10, 5, 0)).toStdString(), "1h 5m");
}

} // namespace
} // namespace kavro::models
