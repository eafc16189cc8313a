#include "models/MicCorrectionProfile.h"
#include "models/CalibrationSavedProfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimeZone>

#include <gtest/gtest.h>

using kavro::models::AudioDevice;
using kavro::models::CalibrationSavedProfile;
using kavro::models::FrequencyCurvePoint;
using kavro::models::MicCorrectionProfile;

namespace {

MicCorrectionProfile sampleProfile() {
    return {{0.5f, 0.25f},
            48000.0,
            QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53, 250), QTimeZone::utc()),
            {FrequencyCurvePoint{1000.0f, 2.5f}}};
}

QJsonObject jsonOf(const QByteArray& text) {
    return QJsonDocument::fromJson(text).object();
}

} // namespace

TEST(MicCorrectionProfile, RoundTripsThroughItsStoredForm) {
    const auto profile = sampleProfile();
    const auto data = profile.encode();
    ASSERT_TRUE(data);
    EXPECT_EQ(MicCorrectionProfile::decode(*data), profile);
    const QJsonObject object = jsonOf(*data);
    EXPECT_EQ(object.keys(), (QStringList{"correctionCurve", "measuredDate", "sampleRate", "taps"}));
    // Seconds since 2001-01-01 UTC, with fraction.
    EXPECT_DOUBLE_EQ(object.value("measuredDate").toDouble(), 763637213.25);
}

TEST(MicCorrectionProfile, ReadsWrittenTextAndIgnoresUnknownMembers) {
    const auto decoded = MicCorrectionProfile::decode(
        R"({"extra":[1,2],"measuredDate":0,"correctionCurve":[{"gainDB":-1.5,"frequency":80,"x":1}],)"
        R"("sampleRate":44100,"taps":[1]})");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->measuredDate, QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()));
    EXPECT_EQ(decoded->correctionCurve, (QList<FrequencyCurvePoint>{{80.0f, -1.5f}}));
    EXPECT_EQ(decoded->taps, std::vector<float>{1.0f});
    EXPECT_EQ(decoded->sampleRate, 44100.0);
}

TEST(MicCorrectionProfile, RejectsMissingMembersWrongTypesAndNonFiniteNumbers) {
    const QByteArray good = *sampleProfile().encode();
    for (const char* member : {"taps", "sampleRate", "measuredDate", "correctionCurve"}) {
        QJsonObject object = jsonOf(good);
        object.remove(member);
        EXPECT_FALSE(MicCorrectionProfile::fromJson(object)) << member;
    }
    const char* broken[] = {
        R"({"taps":[1e39],"sampleRate":48000,"measuredDate":0,"correctionCurve":[]})", // overflows a float
        R"({"taps":["1"],"sampleRate":48000,"measuredDate":0,"correctionCurve":[]})",
        R"({"taps":[],"sampleRate":1e999,"measuredDate":0,"correctionCurve":[]})",
        R"({"taps":[],"sampleRate":48000,"measuredDate":1e300,"correctionCurve":[]})", // no such date
        R"({"taps":[],"sampleRate":48000,"measuredDate":0,"correctionCurve":[{"frequency":1}]})",
        R"({"taps":[],"sampleRate":48000,"measuredDate":0,"correctionCurve":[3]})",
        R"([])",
        "not json",
    };
    for (const char* text : broken) {
        EXPECT_FALSE(MicCorrectionProfile::decode(text)) << text;
    }
    auto notANumber = sampleProfile();
    notANumber.taps.push_back(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FALSE(notANumber.encode());
}

TEST(CalibrationSavedProfile, StoredFormAndRoundTrip) {
    CalibrationSavedProfile withCorrection = CalibrationSavedProfile::create(
        "Vocal booth", "usb-mic", {}, 96.5, QDateTime(QDate(2001, 1, 2), QTime(0, 0), QTimeZone::utc()),
        sampleProfile());
    CalibrationSavedProfile plain = withCorrection;
    plain.id = QUuid::createUuid();
    plain.freqProfile.reset();
    const auto data = CalibrationSavedProfile::encodeList({withCorrection, plain});
    ASSERT_TRUE(data);
    const QJsonArray array = QJsonDocument::fromJson(*data).array();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject first = array.at(0).toObject();
    EXPECT_EQ(first.value("id").toString(), withCorrection.id.toString(QUuid::WithoutBraces).toUpper());
    EXPECT_EQ(first.value("id").toString().size(), 36);
    EXPECT_EQ(first.value("savedDate").toDouble(), 86400.0);
    EXPECT_TRUE(first.value("freqProfile").isObject());
    EXPECT_FALSE(array.at(1).toObject().contains("freqProfile"));

    const auto decoded = CalibrationSavedProfile::decodeList(*data);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, (QList<CalibrationSavedProfile>{withCorrection, plain}));
}

TEST(CalibrationSavedProfile, AnyMissingRequiredKeyFailsTheWholeList) {
    const QByteArray good = *CalibrationSavedProfile::encodeList(
        {CalibrationSavedProfile::create("a", "", {}, 94, QDateTime::currentDateTimeUtc(), std::nullopt)});
    for (const char* key : {"id", "label", "deviceUID", "deviceName", "levelOffsetAtSave", "savedDate"}) {
        QJsonArray array = QJsonDocument::fromJson(good).array();
        QJsonObject object = array.at(0).toObject();
        object.remove(key);
        array.replace(0, object);
        EXPECT_FALSE(CalibrationSavedProfile::decodeList(QJsonDocument(array).toJson())) << key;
    }
    QJsonArray array = QJsonDocument::fromJson(good).array();
    QJsonObject object = array.at(0).toObject();
    object.insert("freqProfile", QJsonObject{{"taps", QJsonArray{}}});
    array.replace(0, object);
    EXPECT_FALSE(CalibrationSavedProfile::decodeList(QJsonDocument(array).toJson()));
}

TEST(CalibrationSavedProfile, CreateNamesTheDeviceAndTrimsTheLabel) {
    const QList<AudioDevice> inputs{{1, "UMIK", "Mini", "umik-uid", true},
                                    {2, "Other", "Unknown", "other", true}};
    const QDateTime now = QDateTime::currentDateTimeUtc();

    const auto defaultInput = CalibrationSavedProfile::create(" \t ", "", inputs, 94, now, std::nullopt);
    EXPECT_EQ(defaultInput.label, "System Default");
    EXPECT_EQ(defaultInput.deviceName, "System Default");

    const auto known = CalibrationSavedProfile::create("\tDesk ", "umik-uid", inputs, 94, now, std::nullopt);
    EXPECT_EQ(known.label, "Desk");
    EXPECT_EQ(known.deviceName, "UMIK (Mini)");

    const auto gone = CalibrationSavedProfile::create("\n", "vanished", inputs, 94, now, std::nullopt);
    EXPECT_EQ(gone.label, "\n"); // newlines are not trimmed
    EXPECT_EQ(gone.deviceName, "vanished");
    EXPECT_NE(gone.id, known.id);
}
