#pragma once

#include <QDateTime>

#include <optional>

namespace kavro::models {

class JsonReader;
class JsonWriter;

// One reading sampled inside a session, about once a minute.
struct SPLReading {
    QDateTime timestamp;
    double dBA = 0;
    double dosePercentageAtTime = 0;
    double dBC = 0;

    // All four keys, the timestamp in the history file's date form.
    void writeJson(JsonWriter& writer) const;
    // "dBC" may be missing (older files lack it) and then reads as 0; the other keys
    // are required. On failure the reader holds an error that names the offending key.
    static std::optional<SPLReading> readJson(JsonReader& reader);

    friend bool operator==(const SPLReading&, const SPLReading&) = default;
};

} // namespace kavro::models
