#include "models/SPLReading.h"

#include "models/JsonReader.h"
#include "models/JsonWriter.h"

namespace kavro::models {

void SPLReading::writeJson(JsonWriter& writer) const {
    writer.beginObject();
    writer.key("timestamp");
    writer.value(timestamp);
    writer.key("dBA");
    writer.value(dBA);
    writer.key("dosePercentageAtTime");
    writer.value(dosePercentageAtTime);
    writer.key("dBC");
    writer.value(dBC);
    writer.endObject();
}

std::optional<SPLReading> SPLReading::readJson(JsonReader& reader) {
    SPLReading reading;
    std::optional<QDateTime> timestamp;
    std::optional<double> dBA;
    std::optional<double> dose;
    if (!reader.beginObject()) {
        return std::nullopt;
    }
    QByteArrayView key;
    while (reader.nextMember(key)) {
        if (key == "timestamp") {
            timestamp = reader.dateMember("timestamp");
        } else if (key == "dBA") {
            dBA = reader.numberMember("dBA");
        } else if (key == "dosePercentageAtTime") {
            dose = reader.numberMember("dosePercentageAtTime");
        } else if (key == "dBC") {
            reading.dBC = reader.skipNull() ? 0.0 : reader.numberMember("dBC").value_or(0.0);
        } else {
            reader.skipValue();
        }
    }
    if (!timestamp) {
        reader.fail(QStringLiteral("key \"timestamp\" is missing"));
    } else if (!dBA) {
        reader.fail(QStringLiteral("key \"dBA\" is missing"));
    } else if (!dose) {
        reader.fail(QStringLiteral("key \"dosePercentageAtTime\" is missing"));
    }
    if (reader.failed()) {
        return std::nullopt;
    }
    reading.timestamp = *timestamp;
    reading.dBA = *dBA;
    reading.dosePercentageAtTime = *dose;
    return reading;
}

} // namespace kavro::models
