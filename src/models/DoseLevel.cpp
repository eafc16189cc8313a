// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/DoseLevel.h"

#include "models/NumberText.h"

namespace kavro::models {

QString rawValue(DoseLevel level) {
    switch (level) {
    case DoseLevel::safe:
        return QStringLiteral("safe");
    case DoseLevel::caution:
        return QStringLiteral("caution");
    case DoseLevel::warning:
        return QStringLiteral("warning");
    case DoseLevel::danger:
        return QStringLiteral("danger");
    }
    return QStringLiteral("safe");
}

std::optional<DoseLevel> doseLevelFromRawValue(const QString& raw) {
    for (const DoseLevel level :
         {DoseLevel::safe, DoseLevel::caution, DoseLevel::warning, DoseLevel::danger}) {
        if (raw == rawValue(level)) {
            return level;
        }
    }
    return std::nullopt;
}

size_t qHash(DoseLevel level, size_t seed) {
    return qHash(rawValue(level), seed);
}

QJsonValue toJson(DoseLevel level) {
    return QJsonValue(rawValue(level));
}

std::optional<DoseLevel> doseLevelFromJson(const QJsonValue& json) {
    if (!json.isString()) {
        return std::nullopt;
    }
    return doseLevelFromRawValue(json.toString());
}

DoseLevel doseLevelForPercentage(double percent) {
    // Written as "not at least" so that not-a-number falls into the lowest band.
    if (!(percent >= kCautionThresholdPercent)) {
        return DoseLevel::safe;
    }
    if (!(percent >= kWarningThresholdPercent)) {
        return DoseLevel::caution;
    }
    if (!(percent >= kDangerThresholdPercent)) {
        return DoseLevel::warning;
    }
    return DoseLevel::danger;
}

QString rangeText(DoseLevel level) {
    const auto percent = [](double threshold) { return fixedText(threshold, 0); };
    const QString dash = QStringLiteral("–");
    switch (level) {
    case DoseLevel::safe:
        return QStringLiteral("0") + dash + percent(kCautionThresholdPercent) + QLatin1Char('%');
    case DoseLevel::caution:
        return percent(kCautionThresholdPercent) + dash + percent(kWarningThresholdPercent) +
               QLatin1Char('%');
    case DoseLevel::warning:
        return percent(kWarningThresholdPercent) + dash + percent(kDangerThresholdPercent) + QLatin1Char('%');
    case DoseLevel::danger:
        return QLatin1Char('>') + percent(kDangerThresholdPercent) + QLatin1Char('%');
    }
    return {};
}

QString label(DoseLevel level) {
    switch (level) {
    case DoseLevel::safe:
        return QStringLiteral("Safe");
    case DoseLevel::caution:
        return QStringLiteral("Caution");
    case DoseLevel::warning:
        return QStringLiteral("Warning");
    case DoseLevel::danger:
        return QStringLiteral("Over-exposed");
    }
    return QStringLiteral("Safe");
}

DoseColour colour(DoseLevel level) {
    switch (level) {
    case DoseLevel::safe:
        return {QStringLiteral("green"), 0x34C759};
    case DoseLevel::caution:
        return {QStringLiteral("yellow"), 0xFFCC00};
    case DoseLevel::warning:
        return {QStringLiteral("orange"), 0xFF9500};
    case DoseLevel::danger:
        return {QStringLiteral("red"), 0xFF3B30};
    }
    return {QStringLiteral("green"), 0x34C759};
}

} // namespace kavro::models
