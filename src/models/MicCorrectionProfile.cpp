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

std::optional<MicCorrectionProfile> MicCorrectionProfile::fromJson(const QJsonObject& object) {
    const QJsonValue tapsValue = object.value(QLatin1String("taps"));
    const QJsonValue curveValue = object.value(QLatin1String("correctionCurve"));
    const auto sampleRate = finiteDouble(object.value(QLatin1String("sampleRate")));
    const auto dateSeconds = finiteDouble(object.value(QLatin1String("measuredDate")));
    if (!tapsValue.isArray() || !curveValue.isArray() || !sampleRate || !dateSeconds) {
        return std::nullopt;
    }
    const auto measuredDate = referenceDate::fromSeconds(*dateSeconds);
    if (!measuredDate) {
        return std::nullopt;
    }
    MicCorrectionProfile profile;
    profile.sampleRate = *sampleRate;
    profile.measuredDate = *measuredDate;
    for (const auto& value : tapsValue.toArray()) {
        const auto tap = finiteFloat(value);
        if (!tap) {
            return std::nullopt;
        }
        profile.taps.push_back(*tap);
    }
    for (const auto& value : curveValue.toArray()) {
        if (!value.isObject()) {
            return std::nullopt;
        }
        const auto point = FrequencyCurvePoint::fromJson(value.toObject());
        if (!point) {
            return std::nullopt;
        }
        profile.correctionCurve.append(*point);
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

std::optional<MicCorrectionProfile> MicCorrectionProfile::decode(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return fromJson(document.object());
}

} // namespace kavro::models
