// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace kavro::models {

// Typed reads of one JSON object's members for the record decoders. The first problem
// is kept, in words that name the key ("key \"dBA\" is not a number"), so a decoder
// reads every field and looks at error() once at the end. Optional keys may be missing
// or null.
class JsonFields {
public:
    explicit JsonFields(QJsonObject object) : m_object(std::move(object)) {}

    std::optional<double> number(QLatin1StringView key);
    // Missing or null reads as 0.
    double optionalNumber(QLatin1StringView key);
    // A whole number (3 or 3.0), as the counters are; missing or null reads as 0.
    std::int64_t optionalCount(QLatin1StringView key);
    std::optional<QString> string(QLatin1StringView key);
    std::optional<QDateTime> date(QLatin1StringView key);
    std::optional<QDateTime> optionalDate(QLatin1StringView key);

    void fail(const QString& message);
    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }

    // Parses a whole JSON text, or says where it is broken ("not valid JSON: ... at byte
    // N"). Qt's parser limits how deeply arrays and objects nest, so a text of endless
    // brackets is an error like any other, not a stack overflow.
    static std::variant<QJsonDocument, QString> parseDocument(const QByteArray& bytes);

    // Reads an ISO 8601 date and time that names its offset ("Z" or "+01:00"). A text
    // without an offset gives no value: a moment without a zone has no place in time.
    static std::optional<QDateTime> parseDate(const QString& text);

private:
    // The member's value, or nothing (and the error) when it is missing.
    std::optional<QJsonValue> required(QLatin1StringView key);
    // The member's value, or nothing when it is missing or null.
    std::optional<QJsonValue> present(QLatin1StringView key) const;
    std::optional<double> toNumber(const QJsonValue& value, QLatin1StringView key);
    std::optional<QDateTime> toDate(const QJsonValue& value, QLatin1StringView key);

    QJsonObject m_object;
    QString m_error;
};

} // namespace kavro::models
