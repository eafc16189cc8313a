#include "models/JsonFields.h"

#include "models/IsoDate.h"

#include <cmath>

namespace kavro::models::json {

void FieldReader::fail(const QString& message) {
    if (m_error.isEmpty()) {
        m_error = message;
    }
}

QJsonValue FieldReader::present(QLatin1StringView key, bool required) {
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || (!required && value.isNull())) {
        if (required) {
            fail(QStringLiteral("key \"%1\" is missing").arg(key));
        }
        return QJsonValue(QJsonValue::Undefined);
    }
    return value;
}

double FieldReader::number(QLatin1StringView key) {
    const QJsonValue value = present(key, true);
    if (value.isUndefined()) {
        return 0;
    }
    if (!value.isDouble()) {
        fail(QStringLiteral("key \"%1\" is not a number").arg(key));
        return 0;
    }
    return value.toDouble();
}

double FieldReader::number(QLatin1StringView key, double fallback) {
    const QJsonValue value = present(key, false);
    if (value.isUndefined()) {
        return fallback;
    }
    if (!value.isDouble()) {
        fail(QStringLiteral("key \"%1\" is not a number").arg(key));
        return fallback;
    }
    return value.toDouble();
}

std::int64_t FieldReader::integer(QLatin1StringView key, std::int64_t fallback) {
    const QJsonValue value = present(key, false);
    if (value.isUndefined()) {
        return fallback;
    }
    // A counter written as 3.0 is still a whole number; 3.5 is not a count.
    const double asDouble = value.toDouble();
    if (!value.isDouble() || asDouble != std::trunc(asDouble) || std::abs(asDouble) > 9.0e18) {
        fail(QStringLiteral("key \"%1\" is not a whole number").arg(key));
        return fallback;
    }
    return value.toInteger(static_cast<qint64>(asDouble));
}

QString FieldReader::string(QLatin1StringView key) {
    const QJsonValue value = present(key, true);
    if (value.isUndefined()) {
        return {};
    }
    if (!value.isString()) {
        fail(QStringLiteral("key \"%1\" is not a string").arg(key));
        return {};
    }
    return value.toString();
}

QDateTime FieldReader::date(QLatin1StringView key) {
    const QJsonValue value = present(key, true);
    if (value.isUndefined()) {
        return {};
    }
    const auto parsed = value.isString() ? isodate::parse(value.toString()) : std::nullopt;
    if (!parsed) {
        fail(QStringLiteral("key \"%1\" is not an ISO 8601 date").arg(key));
        return {};
    }
    return *parsed;
}

std::optional<QDateTime> FieldReader::optionalDate(QLatin1StringView key) {
    if (present(key, false).isUndefined()) {
        return std::nullopt;
    }
    QDateTime parsed = date(key);
    if (!parsed.isValid()) {
        return std::nullopt;
    }
    return parsed;
}

} // namespace kavro::models::json
