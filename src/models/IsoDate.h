#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

namespace kavro::models {

// The date form of the history file: ISO 8601 in UTC with whole seconds and a
// trailing "Z", for example 2025-03-14T09:26:53Z.
namespace isodate {

// Formats a moment in UTC; any sub-second part is dropped.
QString format(const QDateTime& moment);
// The same text as plain ASCII bytes (20 of them), for writers that work on bytes.
std::array<char, 20> formatAscii(const QDateTime& moment);

// Reads an ISO 8601 date and time that names its offset ("Z" or "+01:00"); a text
// without an offset, or not a date at all, gives no value, because a moment without
// a zone cannot be placed on the timeline.
std::optional<QDateTime> parse(QStringView text);

} // namespace isodate
} // namespace kavro::models
