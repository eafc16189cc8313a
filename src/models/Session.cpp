#include "models/Session.h"

#include "models/IsoDate.h"
#include "models/JsonFields.h"

#include <QJsonArray>

#include <cmath>

namespace kavro::models {

Session Session::create(const QString& dawName, const QDateTime& now) {
    Session session;
    session.id = QUuid::createUuid();
    session.startDate = now;
    session.dawName = dawName;
    return session;
}

double Session::durationSeconds(const QDateTime& now) const {
    return static_cast<double>(startDate.msecsTo(endDate.value_or(now))) / 1000.0;
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

QJsonObject Session::toJson() const {
    QJsonArray readingArray;
    for (const SPLReading& reading : readings) {
        readingArray.append(reading.toJson());
    }
    QJsonObject object{{QLatin1String("id"), id.toString(QUuid::WithoutBraces).toUpper()},
                       {QLatin1String("startDate"), isodate::format(startDate)},
                       {QLatin1String("dawName"), dawName},
                       {QLatin1String("averageSPL"), averageSPL},
                       {QLatin1String("peakSPL"), peakSPL},
                       {QLatin1String("doseAccumulated"), doseAccumulated},
                       {QLatin1String("readings"), readingArray},
                       {QLatin1String("peakDBC"), peakDBC},
                       {QLatin1String("peakCount135"), static_cast<qint64>(peakCount135)},
                       {QLatin1String("peakCount140"), static_cast<qint64>(peakCount140)},
                       {QLatin1String("peakDBACount115"), static_cast<qint64>(peakDBACount115)}};
    if (endDate) {
        object.insert(QLatin1String("endDate"), isodate::format(*endDate));
    }
    return object;
}

std::variant<Session, QString> Session::fromJson(const QJsonObject& object) {
    json::FieldReader read(object);
    Session session;
    const QString idText = read.string(QLatin1String("id"));
    session.id = QUuid::fromString(idText);
    if (!read.failed() && session.id.isNull()) {
        read.fail(QStringLiteral("key \"id\" is not a UUID"));
    }
    session.startDate = read.date(QLatin1String("startDate"));
    session.endDate = read.optionalDate(QLatin1String("endDate"));
    session.dawName = read.string(QLatin1String("dawName"));
    session.averageSPL = read.number(QLatin1String("averageSPL"));
    session.peakSPL = read.number(QLatin1String("peakSPL"));
    session.doseAccumulated = read.number(QLatin1String("doseAccumulated"));
    session.peakDBC = read.number(QLatin1String("peakDBC"), 0.0);
    session.peakCount135 = read.integer(QLatin1String("peakCount135"), 0);
    session.peakCount140 = read.integer(QLatin1String("peakCount140"), 0);
    session.peakDBACount115 = read.integer(QLatin1String("peakDBACount115"), 0);

    const QJsonValue readingsValue = object.value(QLatin1String("readings"));
    if (readingsValue.isUndefined()) {
        read.fail(QStringLiteral("key \"readings\" is missing"));
    } else if (!readingsValue.isArray()) {
        read.fail(QStringLiteral("key \"readings\" is not an array"));
    }
    if (read.failed()) {
        return read.error();
    }
    const QJsonArray readingArray = readingsValue.toArray();
    session.readings.reserve(readingArray.size());
    for (qsizetype i = 0; i < readingArray.size(); ++i) {
        const QJsonValue value = readingArray.at(i);
        if (!value.isObject()) {
            return QStringLiteral("reading %1 is not an object").arg(i);
        }
        auto reading = SPLReading::fromJson(value.toObject());
        if (auto* error = std::get_if<QString>(&reading)) {
            return QStringLiteral("reading %1: %2").arg(i).arg(*error);
        }
        session.readings.append(std::get<SPLReading>(std::move(reading)));
    }
    return session;
}

bool Session::hasOnlyFiniteNumbers() const {
    const auto finite = [](double value) { return std::isfinite(value); };
    if (!finite(averageSPL) || !finite(peakSPL) || !finite(doseAccumulated) || !finite(peakDBC)) {
        return false;
    }
    for (const SPLReading& reading : readings) {
        if (!finite(reading.dBA) || !finite(reading.dosePercentageAtTime) || !finite(reading.dBC)) {
            return false;
        }
    }
    return true;
}

} // namespace kavro::models
