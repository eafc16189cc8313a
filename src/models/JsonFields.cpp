// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/JsonFields.h"

#include <cmath>

namespace kavro::models {

void JsonFields::fail(const QString& message) {
    if (m_error.isEmpty()) {
        m_error = message;
    }
}

std::optional<QJsonValue> JsonFields::required(QLatin1StringView key) {
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined()) {
        fail(QStringLiteral("key \"%1\" is missing").arg(key));
        return std::nullopt;
    }
    return value;
}

std::optional<QJsonValue> JsonFields::present(QLatin1StringView key) const {
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined() || value.isNull()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> JsonFields::toNumber(const QJsonValue& value, QLatin1StringView key) {
    if (!value.isDouble()) {
        fail(QStringLiteral("key \"%1\" is not a number").arg(key));
        return std::nullopt;
    }
    return value.toDouble();
}

std::optional<QDateTime> JsonFields::toDate(const QJsonValue& value, QLatin1StringView key) {
    auto date = value.isString() ? parseDate(value.toString()) : std::nullopt;
    if (!date) {
        fail(QStringLiteral("key \"%1\" is not an ISO 8601 date").arg(key));
    }
    return date;
}

std::optional<double> JsonFields::number(QLatin1StringView key) {
    const auto value = required(key);
    return value ? toNumber(*value, key) : std::nullopt;
}

double JsonFields::optionalNumber(QLatin1StringView key) {
    const auto value = present(key);
    return value ? toNumber(*value, key).value_or(0.0) : 0.0;
}

std::int64_t JsonFields::optionalCount(QLatin1StringView key) {
    const auto value = present(key);
    const auto number = value ? toNumber(*value, key) : std::nullopt;
    if (!number) {
        return 0;
    }
    if (*number != std::trunc(*number) || std::abs(*number) > 9.0e18) {
        fail(QStringLiteral("key \"%1\" is not a whole number").arg(key));
        return 0;
    }
    // From the value itself: a large count stored as an integer keeps every digit.
    return value->toInteger();
}

std::optional<QString> JsonFields::string(QLatin1StringView key) {
    const auto value = required(key);
    if (value && !value->isString()) {
        fail(QStringLiteral("key \"%1\" is not a string").arg(key));
        return std::nullopt;
    }
    return value ? std::optional(value->toString()) : std::nullopt;
}

std::optional<QDateTime> JsonFields::date(QLatin1StringView key) {
    const auto value = required(key);
    return value ? toDate(*value, key) : std::nullopt;
}

std::optional<QDateTime> JsonFields::optionalDate(QLatin1StringView key) {
    const auto value = present(key);
    return value ? toDate(*value, key) : std::nullopt;
}

std::variant<QJsonDocument, QString> JsonFields::parseDocument(const QByteArray& bytes) {
    QJsonParseError parseError{};
    QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return QStringLiteral("not valid JSON: %1 at byte %2")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    }
    return document;
}

std::optional<QDateTime> JsonFields::parseDate(const QString& text) {
    const QDateTime parsed = QDateTime::fromString(text, Qt::ISODate);
    if (!parsed.isValid() || parsed.timeSpec() == Qt::LocalTime) {
        return std::nullopt;
    }
    return parsed.toUTC();
}

} // namespace kavro::models
