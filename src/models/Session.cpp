#include "models/Session.h"

#include "models/JsonReader.h"
#include "models/JsonWriter.h"

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

void Session::writeJson(JsonWriter& writer) const {
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
    writer.endObject();
}

namespace {

// The keys every record must have, as bits of a mask of keys seen.
enum RequiredKey : unsigned {
    kId = 1u << 0,
    kStartDate = 1u << 1,
    kDawName = 1u << 2,
    kAverageSPL = 1u << 3,
    kPeakSPL = 1u << 4,
    kDoseAccumulated = 1u << 5,
    kReadings = 1u << 6,
};

constexpr std::pair<RequiredKey, const char*> kRequiredKeys[] = {{kId, "id"},
                                                                 {kStartDate, "startDate"},
                                                                 {kDawName, "dawName"},
                                                                 {kAverageSPL, "averageSPL"},
                                                                 {kPeakSPL, "peakSPL"},
                                                                 {kDoseAccumulated, "doseAccumulated"},
                                                                 {kReadings, "readings"}};

// Stores a read value and marks its key as seen; a failed read leaves both alone.
template <typename T, typename U>
void take(std::optional<U> value, T& field, unsigned& seen, RequiredKey key) {
    if (value) {
        field = std::move(*value);
        seen |= key;
    }
}

} // namespace

std::optional<Session> Session::readJson(JsonReader& reader) {
    Session session;
    unsigned seen = 0;
    if (!reader.beginObject()) {
        return std::nullopt;
    }
    QByteArrayView key;
    while (reader.nextMember(key)) {
        if (key == "id") {
            if (const auto text = reader.stringMember("id")) {
                session.id = QUuid::fromString(*text);
                if (session.id.isNull()) {
                    reader.fail(QStringLiteral("key \"id\" is not a UUID"));
                }
                seen |= kId;
            }
        } else if (key == "startDate") {
            take(reader.dateMember("startDate"), session.startDate, seen, kStartDate);
        } else if (key == "endDate") {
            session.endDate = reader.skipNull() ? std::nullopt : reader.dateMember("endDate");
        } else if (key == "dawName") {
            take(reader.stringMember("dawName"), session.dawName, seen, kDawName);
        } else if (key == "averageSPL") {
            take(reader.numberMember("averageSPL"), session.averageSPL, seen, kAverageSPL);
        } else if (key == "peakSPL") {
            take(reader.numberMember("peakSPL"), session.peakSPL, seen, kPeakSPL);
        } else if (key == "doseAccumulated") {
            take(reader.numberMember("doseAccumulated"), session.doseAccumulated, seen, kDoseAccumulated);
        } else if (key == "peakDBC") {
            session.peakDBC = reader.skipNull() ? 0.0 : reader.numberMember("peakDBC").value_or(0.0);
        } else if (key == "peakCount135") {
            session.peakCount135 = reader.skipNull() ? 0 : reader.countMember("peakCount135").value_or(0);
        } else if (key == "peakCount140") {
            session.peakCount140 = reader.skipNull() ? 0 : reader.countMember("peakCount140").value_or(0);
        } else if (key == "peakDBACount115") {
            session.peakDBACount115 =
                reader.skipNull() ? 0 : reader.countMember("peakDBACount115").value_or(0);
        } else if (key == "readings") {
            if (reader.peek() != JsonReader::Type::array) {
                reader.fail(QStringLiteral("key \"readings\" is not an array"));
                return std::nullopt;
            }
            reader.beginArray();
            session.readings.clear();
            for (int index = 0; reader.nextElement(); ++index) {
                auto reading = SPLReading::readJson(reader);
                if (!reading) {
                    reader.addErrorContext(QStringLiteral("reading %1: ").arg(index));
                    return std::nullopt;
                }
                session.readings.append(std::move(*reading));
            }
            seen |= kReadings;
        } else {
            reader.skipValue();
        }
    }
    for (const auto& [bit, name] : kRequiredKeys) {
        if (!(seen & bit)) {
            reader.fail(QStringLiteral("key \"%1\" is missing").arg(QLatin1String(name)));
        }
    }
    if (reader.failed()) {
        return std::nullopt;
    }
    return session;
}

} // namespace kavro::models
