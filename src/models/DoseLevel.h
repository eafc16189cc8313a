// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHashFunctions>
#include <QJsonValue>
#include <QString>

#include <cstdint>
#include <optional>

namespace kavro::models {

// The four bands of the daily noise dose. The declaration order is the order in which
// the settings lists them; there is deliberately no ordering between bands: code that
// needs the higher of two compares the percentages.
enum class DoseLevel { safe, caution, warning, danger };

// Lower edges of the caution, warning and danger bands, in percent of the daily allowance.
inline constexpr double kCautionThresholdPercent = 40.0;
inline constexpr double kWarningThresholdPercent = 70.0;
inline constexpr double kDangerThresholdPercent = 90.0;

// "safe", "caution", "warning" or "danger": the stored and notification-identifier form.
QString rawValue(DoseLevel level);
// Exactly one of the four raw strings (case matters), or no value.
std::optional<DoseLevel> doseLevelFromRawValue(const QString& raw);
// Hashes the raw string, so a band hashes the same wherever its raw form is hashed.
size_t qHash(DoseLevel level, size_t seed = 0);

// The JSON form is the raw string; anything but one of the four strings does not decode.
QJsonValue toJson(DoseLevel level);
std::optional<DoseLevel> doseLevelFromJson(const QJsonValue& json);

// The band of a dose percentage. Each boundary belongs to the higher band, and a value
// that is not at least 40 (including not-a-number) is safe.
DoseLevel doseLevelForPercentage(double percent);

// What every view shows for a band.
QString label(DoseLevel level);
// The band's range of dose, built from the thresholds: "0–40%", "40–70%", "70–90%", ">90%".
QString rangeText(DoseLevel level);

// A band's colour as a name and a 0xRRGGBB value, so views need no table of their own.
struct DoseColour {
    QString name; // "green", "yellow", "orange", "red"
    std::uint32_t rgb;
};
DoseColour colour(DoseLevel level);

} // namespace kavro::models
