// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/CalibrationRecord.h"

#include "models/IndentedJsonWriter.h"
#include "models/JsonFields.h"
#include "models/NumberText.h"

#include <QJsonArray>

#include <array>
#include <cmath>
#include <utility>

namespace kavro::models {

namespace {

using Method = CalibrationRecord::Method;

struct MethodName {
    Method method;
    const char* key;
    const char* text;
};

constexpr std::array kMethods{
    MethodName{Method::calibrator, "calibrator", "sound calibrator"},
    MethodName{Method::referenceMeter, "referenceMeter", "reference meter"},
    MethodName{Method::byHand, "byHand", "by hand"},
    MethodName{Method::defaultValue, "default", "default, never set"},
};

const MethodName& nameOf(Method method) {
    for (const MethodName& name : kMethods) {
        if (name.method == method) {
            return name;
        }
    }
    return kMethods.back();
}

std::optional<Method> methodOf(const QString& key) {
    for (const MethodName& name : kMethods) {
        if (key == QLatin1String(name.key)) {
            return name.method;
        }
    }
    return std::nullopt;
}

QString minuteText(const QDateTime& moment) {
    return moment.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

void writeOptionalDate(IndentedJsonWriter& writer, const char* key, const std::optional<QDateTime>& date) {
    if (date) {
        writer.key(key);
        writer.value(*date);
    }
}

// The optional keys, read leniently: a wrong type reads as missing.
void readOptionalKeys(const QJsonObject& object, CalibrationRecord& record) {
    JsonFields fields(object);
    record.setAt = fields.optionalDate(QLatin1String("setAt"));
    record.correctionDate = fields.optionalDate(QLatin1String("correctionDate"));
    record.deviceUID = object.value(QLatin1String("device")).toString();
    record.deviceName = object.value(QLatin1String("deviceName")).toString();
    record.channel = object.value(QLatin1String("channel")).toInteger();
    record.sampleRate = object.value(QLatin1String("sampleRate")).toDouble();
    record.correction = object.value(QLatin1String("correction")).toBool();
    const QJsonValue reference = object.value(QLatin1String("reference"));
    if (reference.isDouble() && std::isfinite(reference.toDouble())) {
        record.referenceLevel = reference.toDouble();
    }
    record.weighting = object.value(QLatin1String("weighting")).toString();
}

} // namespace

QString CalibrationRecord::methodKey(Method method) {
    return QLatin1String(nameOf(method).key);
}

QString CalibrationRecord::methodText(Method method) {
    return QLatin1String(nameOf(method).text);
}

void CalibrationRecord::writeJson(IndentedJsonWriter& writer) const {
    writer.beginObject();
    writer.key("offset");
    writer.value(offset);
    writer.key("method");
    writer.value(methodKey(method));
    writeOptionalDate(writer, "setAt", setAt);
    writer.key("device");
    writer.value(deviceUID);
    writer.key("deviceName");
    writer.value(deviceName);
    writer.key("channel");
    writer.value(channel);
    writer.key("sampleRate");
    writer.value(sampleRate);
    writer.key("correction");
    writer.value(correction);
    writeOptionalDate(writer, "correctionDate", correctionDate);
    if (referenceLevel) {
        writer.key("reference");
        writer.value(*referenceLevel);
        writer.key("weighting");
        writer.value(weighting);
    }
    writer.endObject();
}

std::optional<CalibrationRecord> CalibrationRecord::fromJson(const QJsonObject& object) {
    const QJsonValue offset = object.value(QLatin1String("offset"));
    const auto method = methodOf(object.value(QLatin1String("method")).toString());
    if (!offset.isDouble() || !std::isfinite(offset.toDouble()) || !method) {
        return std::nullopt;
    }
    CalibrationRecord record;
    record.offset = offset.toDouble();
    record.method = *method;
    readOptionalKeys(object, record);
    return record;
}

QByteArray CalibrationRecord::encode() const {
    IndentedJsonWriter writer;
    writeJson(writer);
    return writer.take();
}

std::optional<CalibrationRecord> CalibrationRecord::decode(const QByteArray& data) {
    auto parsed = JsonFields::parseDocument(data);
    const auto* document = std::get_if<QJsonDocument>(&parsed);
    if (document == nullptr || !document->isObject()) {
        return std::nullopt;
    }
    return fromJson(document->object());
}

QByteArray CalibrationRecord::encodeList(const QList<CalibrationRecord>& records) {
    IndentedJsonWriter writer;
    writer.beginArray();
    for (const CalibrationRecord& record : records) {
        record.writeJson(writer);
    }
    writer.endArray();
    return writer.take();
}

QList<CalibrationRecord> CalibrationRecord::decodeList(const QByteArray& data) {
    auto parsed = JsonFields::parseDocument(data);
    const auto* document = std::get_if<QJsonDocument>(&parsed);
    QList<CalibrationRecord> records;
    if (document == nullptr || !document->isArray()) {
        return records;
    }
    for (const auto& value : document->array()) {
        if (auto record = fromJson(value.toObject())) {
            records.append(std::move(*record));
        }
    }
    return records;
}

QString CalibrationRecord::describe() const {
    QString text = fixedText(offset, 1) + QStringLiteral(" dB, ") + methodText(method);
    if (referenceLevel) {
        text += QStringLiteral(" (%1 dB%2)").arg(fixedText(*referenceLevel, 1), weighting);
    }
    if (setAt) {
        text += QStringLiteral(" on ") + minuteText(*setAt);
    }
    const QString device = deviceName.isEmpty() ? deviceUID : deviceName;
    if (!device.isEmpty()) {
        text += QStringLiteral(", %1 channel %2").arg(device).arg(channel + 1);
    }
    if (sampleRate > 0) {
        text += QStringLiteral(", %1 Hz").arg(fixedText(sampleRate, 0));
    }
    text += correction ? QStringLiteral(", correction on") : QStringLiteral(", correction off");
    if (correction && correctionDate) {
        text += QStringLiteral(" (measured %1)")
                    .arg(correctionDate->toLocalTime().toString(Qt::ISODate).left(10));
    }
    return text;
}

QStringList CalibrationRecord::columnNames() {
    return {QStringLiteral("Calibration Offset (dB)"),
            QStringLiteral("Calibration Method"),
            QStringLiteral("Calibrated At"),
            QStringLiteral("Input Device"),
            QStringLiteral("Input Channel"),
            QStringLiteral("Sample Rate (Hz)"),
            QStringLiteral("Correction"),
            QStringLiteral("Correction Measured")};
}

QStringList CalibrationRecord::columns(const std::optional<CalibrationRecord>& record) {
    if (!record) {
        QStringList unknown(columnNames().size());
        unknown[1] = kUnknownCalibrationText;
        return unknown;
    }
    const auto isoOrEmpty = [](const std::optional<QDateTime>& date) {
        return date ? date->toUTC().toString(Qt::ISODate) : QString();
    };
    return {fixedText(record->offset, 1),
            methodKey(record->method),
            isoOrEmpty(record->setAt),
            record->deviceName.isEmpty() ? record->deviceUID : record->deviceName,
            QString::number(record->channel + 1),
            record->sampleRate > 0 ? fixedText(record->sampleRate, 0) : QString(),
            record->correction ? QStringLiteral("on") : QStringLiteral("off"),
            isoOrEmpty(record->correctionDate)};
}

} // namespace kavro::models
