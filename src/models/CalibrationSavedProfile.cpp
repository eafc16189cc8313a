// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/CalibrationSavedProfile.h"

#include "models/ReferenceDate.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace kavro::models {

namespace {

// Spaces and tabs only: a label's newlines are the user's business.
QString trimSpacesAndTabs(const QString& text) {
    const auto isBlank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin))) {
        ++begin;
    }
    while (end > begin && isBlank(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

} // namespace

QString CalibrationSavedProfile::deviceNameFor(const QString& selectedDeviceUID,
                                               const QList<AudioDevice>& inputDevices) {
    if (selectedDeviceUID.isEmpty()) {
        return QStringLiteral("System Default");
    }
    for (const AudioDevice& device : inputDevices) {
        if (device.uid == selectedDeviceUID) {
            return device.displayName();
        }
    }
    return selectedDeviceUID;
}

CalibrationSavedProfile CalibrationSavedProfile::create(const QString& labelText,
                                                        const QString& selectedDeviceUID,
                                                        const QList<AudioDevice>& inputDevices,
                                                        double calibrationOffset, const QDateTime& now,
                                                        std::optional<MicCorrectionProfile> freqProfile) {
    const QString deviceName = deviceNameFor(selectedDeviceUID, inputDevices);
    QString label = trimSpacesAndTabs(labelText);
    if (label.isEmpty()) {
        label = deviceName;
    }
    return {QUuid::createUuid(), label, selectedDeviceUID,     deviceName,
            calibrationOffset,   now,   std::move(freqProfile)};
}

std::optional<QJsonObject> CalibrationSavedProfile::toJson() const {
    if (!std::isfinite(levelOffsetAtSave) || !savedDate.isValid()) {
        return std::nullopt;
    }
    // Canonical upper-case 8-4-4-4-12 form, without braces.
    QJsonObject object{{"id", id.toString(QUuid::WithoutBraces).toUpper()},
                       {"label", label},
                       {"deviceUID", deviceUID},
                       {"deviceName", deviceName},
                       {"levelOffsetAtSave", levelOffsetAtSave},
                       {"savedDate", referenceDate::toSeconds(savedDate)}};
    if (freqProfile) {
        const auto profileObject = freqProfile->toJson();
        if (!profileObject) {
            return std::nullopt;
        }
        object.insert(QLatin1String("freqProfile"), *profileObject);
    }
    return object;
}

std::optional<CalibrationSavedProfile> CalibrationSavedProfile::fromJson(const QJsonObject& object) {
    const QJsonValue id = object.value(QLatin1String("id"));
    const QJsonValue label = object.value(QLatin1String("label"));
    const QJsonValue deviceUID = object.value(QLatin1String("deviceUID"));
    const QJsonValue deviceName = object.value(QLatin1String("deviceName"));
    const QJsonValue offset = object.value(QLatin1String("levelOffsetAtSave"));
    const QJsonValue saved = object.value(QLatin1String("savedDate"));
    if (!id.isString() || !label.isString() || !deviceUID.isString() || !deviceName.isString() ||
        !offset.isDouble() || !std::isfinite(offset.toDouble()) || !saved.isDouble()) {
        return std::nullopt;
    }
    const QUuid uuid = QUuid::fromString(id.toString());
    const auto savedDate = referenceDate::fromSeconds(saved.toDouble());
    if (uuid.isNull() || !savedDate) {
        return std::nullopt;
    }
    CalibrationSavedProfile profile{
        uuid,       label.toString(), deviceUID.toString(), deviceName.toString(), offset.toDouble(),
        *savedDate, std::nullopt};
    if (object.contains(QLatin1String("freqProfile"))) {
        const QJsonValue freq = object.value(QLatin1String("freqProfile"));
        if (!freq.isObject()) {
            return std::nullopt;
        }
        auto freqProfile = MicCorrectionProfile::fromJson(freq.toObject());
        if (auto* correction = std::get_if<MicCorrectionProfile>(&freqProfile)) {
            profile.freqProfile = std::move(*correction);
        } else {
            return std::nullopt;
        }
    }
    return profile;
}

std::optional<QByteArray>
CalibrationSavedProfile::encodeList(const QList<CalibrationSavedProfile>& profiles) {
    QJsonArray array;
    for (const auto& profile : profiles) {
        const auto object = profile.toJson();
        if (!object) {
            return std::nullopt;
        }
        array.append(*object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<CalibrationSavedProfile>> CalibrationSavedProfile::decodeList(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    QList<CalibrationSavedProfile> profiles;
    for (const auto& value : document.array()) {
        if (!value.isObject()) {
            return std::nullopt;
        }
        auto profile = fromJson(value.toObject());
        if (!profile) {
            return std::nullopt;
        }
        profiles.append(std::move(*profile));
    }
    return profiles;
}

} // namespace kavro::models
