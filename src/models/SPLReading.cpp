// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/SPLReading.h"

#include "models/IndentedJsonWriter.h"
#include "models/JsonFields.h"

namespace kavro::models {

void SPLReading::writeJson(IndentedJsonWriter& writer) const {
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

std::variant<SPLReading, QString> SPLReading::fromJson(const QJsonObject& object) {
    JsonFields fields(object);
    const auto timestamp = fields.date(QLatin1String("timestamp"));
    const auto dBA = fields.number(QLatin1String("dBA"));
    const auto dose = fields.number(QLatin1String("dosePercentageAtTime"));
    const double dBC = fields.optionalNumber(QLatin1String("dBC"));
    if (fields.failed()) {
        return fields.error();
    }
    return SPLReading{*timestamp, *dBA, *dose, dBC};
}

} // namespace kavro::models
