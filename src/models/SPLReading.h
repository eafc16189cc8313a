// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <variant>

namespace kavro::models {

class IndentedJsonWriter;

// One reading sampled inside a session, about once a minute.
struct SPLReading {
    QDateTime timestamp;
    double dBA = 0;
    double dosePercentageAtTime = 0;
    double dBC = 0;

    // All four keys, the timestamp in the history file's date form.
    void writeJson(IndentedJsonWriter& writer) const;
    // "dBC" may be missing (older files lack it) and then reads as 0; the other keys
    // are required. The error names the offending key.
    static std::variant<SPLReading, QString> fromJson(const QJsonObject& object);

    friend bool operator==(const SPLReading&, const SPLReading&) = default;
};

} // namespace kavro::models
