// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/MicCorrectionProfile.h"

#include "dsp/CorrectionDesign.h"
#include "models/ReferenceDate.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace kavro::models {

namespace {

// A JSON number that fits a 32-bit float without becoming infinite.
std::optional<float> finiteFloat(const QJsonValue& value) {
    if (!value.isDouble()) {
        return std::nullopt;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::abs(number) > std::numeric_limits<float>::max()) {
        return std::nullopt;
    }
    return static_cast<float>(number);
}

std::optional<double> finiteDouble(const QJsonValue& value) {
    if (!value.isDouble() || !std::isfinite(value.toDouble())) {
        return std::nullopt;
    }
    return value.toDouble();
}

QString tooManyTaps(std::size_t count) {
    return QStringLiteral("%1 taps are more than a correction filter has (at most %2)")
        .arg(count)
        .arg(MicCorrectionProfile::kMaxTapCount);
}

} // namespace

QJsonObject FrequencyCurvePoint::toJson() const {
    return QJsonObject{{"frequency", static_cast<double>(frequency)},
                       {"gainDB", static_cast<double>(gainDB)}};
}

std::optional<FrequencyCurvePoint> FrequencyCurvePoint::fromJson(const QJsonObject& object) {
    const auto frequency = finiteFloat(object.value(QLatin1String("frequency")));
    const auto gainDB = finiteFloat(object.value(QLatin1String("gainDB")));
    if (!frequency || !gainDB) {
        return std::nullopt;
    }
    return FrequencyCurvePoint{*frequency, *gainDB};
}

MicCorrectionProfile MicCorrectionProfile::fromDesign(const dsp::correction::Design& design,
                                                      double sampleRate, const QDateTime& measuredDate) {
    MicCorrectionProfile profile;
    profile.taps = design.taps;
    profile.sampleRate = sampleRate;
    profile.measuredDate = measuredDate;
    for (const auto& point : design.curve) {
        profile.correctionCurve.append({point.frequency, point.gainDB});
    }
    return profile;
}

std::optional<QJsonObject> MicCorrectionProfile::toJson() const {
    const auto finite = [](double value) { return std::isfinite(value); };
    if (!finite(sampleRate) || !measuredDate.isValid()) {
        return std::nullopt;
    }
    QJsonArray tapArray;
    for (const float tap : taps) {
        if (!finite(tap)) {
            return std::nullopt;
        }
        tapArray.append(static_cast<double>(tap));
    }
    QJsonArray curveArray;
    for (const auto& point : correctionCurve) {
        if (!finite(point.frequency) || !finite(point.gainDB)) {
            return std::nullopt;
        }
        curveArray.append(point.toJson());
    }
    return QJsonObject{{"taps", tapArray},
                       {"sampleRate", sampleRate},
                       {"measuredDate", referenceDate::toSeconds(measuredDate)},
                       {"correctionCurve", curveArray}};
}

std::optional<QString> MicCorrectionProfile::problem() const {
    if (!std::isfinite(sampleRate)) {
        return QStringLiteral("the sample rate is not a finite number");
    }
    if (taps.size() > kMaxTapCount) {
        return tooManyTaps(taps.size());
    }
    double magnitudeSum = 0.0;
    for (const float tap : taps) {
        if (!std::isfinite(tap)) {
            return QStringLiteral("a tap is not a finite number");
        }
        magnitudeSum += std::abs(static_cast<double>(tap));
    }
    if (magnitudeSum > kMaxTapMagnitudeSum) {
        return QStringLiteral("the taps could raise the level by %1 dB, far beyond a microphone correction")
            .arg(20.0 * std::log10(magnitudeSum), 0, 'f', 0);
    }
    for (const auto& point : correctionCurve) {
        if (!std::isfinite(point.frequency) || !std::isfinite(point.gainDB)) {
            return QStringLiteral("a point of the correction curve is not a finite number");
        }
    }
    return std::nullopt;
}

std::variant<MicCorrectionProfile, QString> MicCorrectionProfile::fromJson(const QJsonObject& object) {
    const QJsonValue tapsValue = object.value(QLatin1String("taps"));
    const QJsonValue curveValue = object.value(QLatin1String("correctionCurve"));
    const auto sampleRate = finiteDouble(object.value(QLatin1String("sampleRate")));
    const auto dateSeconds = finiteDouble(object.value(QLatin1String("measuredDate")));
    if (!tapsValue.isArray() || !curveValue.isArray()) {
        return QStringLiteral("\"taps\" and \"correctionCurve\" must be arrays");
    }
    if (!sampleRate || !dateSeconds) {
        return QStringLiteral("\"sampleRate\" and \"measuredDate\" must be finite numbers");
    }
    const auto measuredDate = referenceDate::fromSeconds(*dateSeconds);
    if (!measuredDate) {
        return QStringLiteral("\"measuredDate\" is not a date");
    }
    const QJsonArray tapArray = tapsValue.toArray();
    // Counted before converting: a huge array is refused without copying it.
    if (static_cast<std::size_t>(tapArray.size()) > kMaxTapCount) {
        return tooManyTaps(static_cast<std::size_t>(tapArray.size()));
    }
    MicCorrectionProfile profile;
    profile.sampleRate = *sampleRate;
    profile.measuredDate = *measuredDate;
    for (const auto& value : tapArray) {
        const auto tap = finiteFloat(value);
        if (!tap) {
            return QStringLiteral("every tap must be a finite number");
        }
        profile.taps.push_back(*tap);
    }
    for (const auto& value : curveValue.toArray()) {
        const auto point = value.isObject() ? FrequencyCurvePoint::fromJson(value.toObject()) : std::nullopt;
        if (!point) {
            return QStringLiteral("every curve point must have a finite \"frequency\" and \"gainDB\"");
        }
        profile.correctionCurve.append(*point);
    }
    if (auto reason = profile.problem()) {
        return *reason;
    }
    return profile;
}

std::optional<QByteArray> MicCorrectionProfile::encode() const {
    const auto object = toJson();
    if (!object) {
        return std::nullopt;
    }
    return QJsonDocument(*object).toJson(QJsonDocument::Compact);
}

std::variant<MicCorrectionProfile, QString> MicCorrectionProfile::decode(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        return QStringLiteral("not JSON: %1").arg(error.errorString());
    }
    if (!document.isObject()) {
        return QStringLiteral("not a JSON object");
    }
    return fromJson(document.object());
}

} // namespace kavro::models
