#include "models/SPLReading.h"

#include "models/IsoDate.h"
#include "models/JsonFields.h"

namespace kavro::models {

QJsonObject SPLReading::toJson() const {
    return QJsonObject{{QLatin1String("timestamp"), isodate::format(timestamp)},
                       {QLatin1String("dBA"), dBA},
                       {QLatin1String("dosePercentageAtTime"), dosePercentageAtTime},
                       {QLatin1String("dBC"), dBC}};
}

std::variant<SPLReading, QString> SPLReading::fromJson(const QJsonObject& object) {
    json::FieldReader read(object);
    SPLReading reading;
    reading.timestamp = read.date(QLatin1String("timestamp"));
    reading.dBA = read.number(QLatin1String("dBA"));
    reading.dosePercentageAtTime = read.number(QLatin1String("dosePercentageAtTime"));
    reading.dBC = read.number(QLatin1String("dBC"), 0.0);
    if (read.failed()) {
        return read.error();
    }
    return reading;
}

} // namespace kavro::models
