// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/MicCorrectionProfile.h"
#include "dsp/CorrectionDesign.h"
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

// The decoded profile, or none; the reason of a refusal is checked where it matters.
std::optional<MicCorrectionProfile> decoded(const QByteArray& data) {
    auto result = MicCorrectionProfile::decode(data);
    if (auto* profile = std::get_if<MicCorrectionProfile>(&result)) {
        return std::move(*profile);
    }
    return std::nullopt;
}

QString refusal(const QByteArray& data) {
    const auto result = MicCorrectionProfile::decode(data);
    const auto* reason = std::get_if<QString>(&result);
    return reason ? *reason : QString();
}

} // namespace

TEST(MicCorrectionProfile, RoundTripsThroughItsStoredForm) {
    const auto profile = sampleProfile();
    const auto data = profile.encode();
    ASSERT_TRUE(data);
    EXPECT_EQ(decoded(*data), profile);
    const QJsonObject object = jsonOf(*data);
    EXPECT_EQ(object.keys(), (QStringList{"correctionCurve", "measuredDate", "sampleRate", "taps"}));
    // Seconds since 2001-01-01 UTC, with fraction.
    EXPECT_DOUBLE_EQ(object.value("measuredDate").toDouble(), 763637213.25);
}

TEST(MicCorrectionProfile, ReadsWrittenTextAndIgnoresUnknownMembers) {
    const auto profile =
        decoded(R"({"extra":[1,2],"measuredDate":0,"correctionCurve":[{"gainDB":-1.5,"frequency":80,"x":1}],)"
                R"("sampleRate":44100,"taps":[1]})");
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->measuredDate, QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()));
    EXPECT_EQ(profile->correctionCurve, (QList<FrequencyCurvePoint>{{80.0f, -1.5f}}));
    EXPECT_EQ(profile->taps, std::vector<float>{1.0f});
    EXPECT_EQ(profile->sampleRate, 44100.0);
}

TEST(MicCorrectionProfile, RejectsMissingMembersWrongTypesAndNonFiniteNumbers) {
    const QByteArray good = *sampleProfile().encode();
    for (const char* member : {"taps", "sampleRate", "measuredDate", "correctionCurve"}) {
        QJsonObject object = jsonOf(good);
        object.remove(member);
        EXPECT_TRUE(std::holds_alternative<QString>(MicCorrectionProfile::fromJson(object))) << member;
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
        EXPECT_FALSE(refusal(text).isEmpty()) << text;
    }
    auto notANumber = sampleProfile();
    notANumber.taps.push_back(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FALSE(notANumber.encode());
}

// Stored data is not trusted to be a filter: taps that would multiply the signal by
// millions, or that would cost the capture thread a multiply-add each by the thousand,
// are refused with a reason, wherever the profile is stored.
TEST(MicCorrectionProfile, RefusesFiltersNoCorrectionCouldBe) {
    const auto withTaps = [](const QJsonArray& taps) {
        QJsonObject object = jsonOf(*sampleProfile().encode());
        object.insert("taps", taps);
        return QJsonDocument(object).toJson();
    };
    QJsonArray tooMany;
    for (std::size_t i = 0; i <= MicCorrectionProfile::kMaxTapCount; ++i) {
        tooMany.append(i == 0 ? 1.0 : 0.0);
    }
    const std::pair<QByteArray, const char*> cases[] = {
        {withTaps({1e30}), "dB"},
        {withTaps({0.0, 3e4, 0.0}), "dB"},
        {withTaps({20.0, -20.0}), "dB"}, // +32 dB at the highest frequency
        {withTaps(tooMany), "taps"},
    };
    for (const auto& [data, word] : cases) {
        EXPECT_TRUE(refusal(data).contains(word))
            << data.left(80).toStdString() << " → " << refusal(data).toStdString();
        QJsonObject saved =
            *CalibrationSavedProfile::create("a", "", {}, 94, QDateTime::currentDateTimeUtc(), std::nullopt)
                 .toJson();
        saved.insert("freqProfile", jsonOf(data));
        EXPECT_FALSE(CalibrationSavedProfile::decodeList(QJsonDocument(QJsonArray{saved}).toJson()));
    }
}

// Every filter the design makes, however extreme the response it corrects, stays
// within the bounds: a real measurement is never refused.
TEST(MicCorrectionProfile, EveryDesignWithinNineDecibelsIsAccepted) {
    const kavro::dsp::RealFft fft(kavro::dsp::correction::kFftSize);
    const std::size_t bins = kavro::dsp::correction::kBinCount;
    std::vector<std::vector<float>> targets{std::vector<float>(bins, 100.0f), std::vector<float>(bins, 0.0f)};
    for (std::size_t period : {1, 3, 16}) {
        std::vector<float> alternating(bins);
        for (std::size_t k = 0; k < bins; ++k) {
            alternating[k] = (k / period) % 2 ? 100.0f : 0.0f; // beyond ±9 dB: limited to it
        }
        targets.push_back(alternating);
    }
    for (const double rate : {8000.0, 44100.0, 48000.0, 96000.0, 192000.0, 384000.0}) {
        for (const auto& gains : targets) {
            const auto design = kavro::dsp::correction::finishDesign(gains, rate, fft);
            ASSERT_TRUE(design);
            const auto profile =
                MicCorrectionProfile::fromDesign(*design, rate, QDateTime::currentDateTimeUtc());
            EXPECT_EQ(profile.problem(), std::nullopt) << rate << " Hz";
        }
    }
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

    const auto list = CalibrationSavedProfile::decodeList(*data);
    ASSERT_TRUE(list);
    EXPECT_EQ(*list, (QList<CalibrationSavedProfile>{withCorrection, plain}));
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
