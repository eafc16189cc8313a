// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/Session.h"

#include "models/IndentedJsonWriter.h"
#include "models/JsonFields.h"

#include "dsp/ExposureCriteria.h"

#include <QJsonArray>

#include <algorithm>
#include <array>

namespace kavro::models {

Session Session::create(const QString& dawName, const QDateTime& now) {
    Session session;
    session.id = QUuid::createUuid();
    session.startDate = now;
    session.dawName = dawName;
    return session;
}

double Session::durationSeconds(const QDateTime& now) const {
    // An end before the start (a file from a version that dated the end by a wall clock
    // set back) is a session in which no time passed.
    return std::max(0.0, static_cast<double>(startDate.msecsTo(endDate.value_or(now))) / 1000.0);
}

double Session::soundExposureOrEstimate() const {
    if (soundExposure > 0.0 || !(averageSPL > 0.0) || !endDate) {
        return soundExposure;
    }
    const double measured = std::max(0.0, durationSeconds(*endDate) - unmeasuredSeconds);
    return dsp::criteria::soundExposurePa2h(averageSPL, measured);
}

QString Session::durationFormatted(const QDateTime& now) const {
    const auto seconds = static_cast<std::int64_t>(durationSeconds(now));
    if (seconds < 3600) {
        return QStringLiteral("%1m").arg(seconds / 60);
    }
    return hoursAndMinutesText(seconds);
}

QString hoursAndMinutesText(std::int64_t seconds) {
    return QStringLiteral("%1h %2m").arg(seconds / 3600).arg((seconds % 3600) / 60);
}

void Session::writeJson(IndentedJsonWriter& writer) const {
    writer.beginObject();
    writer.key("id");
    writer.value(id.toString(QUuid::WithoutBraces).toUpper());
    writer.key("startDate");
    writer.value(startDate);
    if (endDate) {
        writer.key("endDate");
        writer.value(*endDate);
    }
    writer.key("dawName");
    writer.value(dawName);
    writer.key("averageSPL");
    writer.value(averageSPL);
    writer.key("peakSPL");
    writer.value(peakSPL);
    writer.key("doseAccumulated");
    writer.value(doseAccumulated);
    writer.key("readings");
    writer.beginArray();
    for (const SPLReading& reading : readings) {
        reading.writeJson(writer);
    }
    writer.endArray();
    writer.key("peakDBC");
    writer.value(peakDBC);
    writer.key("peakCount135");
    writer.value(peakCount135);
    writer.key("peakCount140");
    writer.value(peakCount140);
    writer.key("peakDBACount115");
    writer.value(peakDBACount115);
    const std::array<std::pair<const char*, double>, 4> optional{{
        {"unmeasuredSeconds", unmeasuredSeconds},
        {"soundExposure", soundExposure},
        {"oshaPelDose", oshaPelDose},
        {"oshaHearingConservationDose", oshaHearingConservationDose},
    }};
    for (const auto& [name, number] : optional) {
        if (number > 0) {
            writer.key(name);
            writer.value(number);
        }
    }
    if (calibration) {
        writer.key("calibration");
        calibration->writeJson(writer);
    }
    if (output) {
        writer.key("source");
        writer.value(QStringLiteral("output"));
        writer.key("outputProfile");
        writer.value(output->profile);
        writer.key("outputEstimated");
        writer.value(output->estimated);
    }
    writer.endObject();
}

std::variant<Session, QString> Session::fromJson(const QJsonObject& object) {
    JsonFields fields(object);
    Session session;
    if (const auto text = fields.string(QLatin1String("id"))) {
        session.id = QUuid::fromString(*text);
        if (session.id.isNull()) {
            fields.fail(QStringLiteral("key \"id\" is not a UUID"));
        }
    }
    const auto startDate = fields.date(QLatin1String("startDate"));
    session.endDate = fields.optionalDate(QLatin1String("endDate"));
    const auto name = fields.string(QLatin1String("dawName"));
    const auto average = fields.number(QLatin1String("averageSPL"));
    const auto peak = fields.number(QLatin1String("peakSPL"));
    const auto dose = fields.number(QLatin1String("doseAccumulated"));
    session.peakDBC = fields.optionalNumber(QLatin1String("peakDBC"));
    session.peakCount135 = fields.optionalCount(QLatin1String("peakCount135"));
    session.peakCount140 = fields.optionalCount(QLatin1String("peakCount140"));
    session.peakDBACount115 = fields.optionalCount(QLatin1String("peakDBACount115"));
    session.unmeasuredSeconds = fields.optionalNumber(QLatin1String("unmeasuredSeconds"));
    // A calibration that cannot be read leaves the session's measurements intact: it
    // reads as unknown.
    session.calibration = CalibrationRecord::fromJson(object.value(QLatin1String("calibration")).toObject());
    session.soundExposure = fields.optionalNumber(QLatin1String("soundExposure"));
    session.oshaPelDose = fields.optionalNumber(QLatin1String("oshaPelDose"));
    session.oshaHearingConservationDose = fields.optionalNumber(QLatin1String("oshaHearingConservationDose"));
    if (object.value(QLatin1String("source")).toString() == QLatin1String("output")) {
        session.output = OutputSource{object.value(QLatin1String("outputProfile")).toString(),
                                      object.value(QLatin1String("outputEstimated")).toBool(true)};
    }
    const QJsonValue readings = object.value(QLatin1String("readings"));
    if (readings.isUndefined()) {
        fields.fail(QStringLiteral("key \"readings\" is missing"));
    } else if (!readings.isArray()) {
        fields.fail(QStringLiteral("key \"readings\" is not an array"));
    }
    if (fields.failed()) {
        return fields.error();
    }
    session.startDate = *startDate;
    session.dawName = *name;
    session.averageSPL = *average;
    session.peakSPL = *peak;
    session.doseAccumulated = *dose;
    const QJsonArray readingArray = readings.toArray();
    session.readings.reserve(readingArray.size());
    for (qsizetype index = 0; index < readingArray.size(); ++index) {
        const QJsonValue value = readingArray.at(index);
        auto reading = value.isObject() ? SPLReading::fromJson(value.toObject())
                                        : std::variant<SPLReading, QString>(QStringLiteral("not an object"));
        if (auto* error = std::get_if<QString>(&reading)) {
            return QStringLiteral("reading %1: %2").arg(index).arg(*error);
        }
        session.readings.append(std::get<SPLReading>(std::move(reading)));
    }
    return session;
}

} // namespace kavro::models
