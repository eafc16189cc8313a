#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace kavro::models::json {

// Typed reads of one key of a JSON object for the record decoders. Each returns no
// value and fills `error` when the key is present but of the wrong type, or when it
// is required and missing; an optional key that is missing or null gives `fallback`.
// The first error wins, so a decoder can read every key and check once at the end.
class FieldReader {
public:
    explicit FieldReader(const QJsonObject& object) : m_object(object) {}

    double number(QLatin1StringView key);
    double number(QLatin1StringView key, double fallback);
    std::int64_t integer(QLatin1StringView key, std::int64_t fallback);
    QString string(QLatin1StringView key);
    QDateTime date(QLatin1StringView key);
    std::optional<QDateTime> optionalDate(QLatin1StringView key);

    const QJsonObject& object() const { return m_object; }
    bool failed() const { return !m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    void fail(const QString& message);

private:
    QJsonValue present(QLatin1StringView key, bool required);

    const QJsonObject& m_object;
    QString m_error;
};

} // namespace kavro::models::json
