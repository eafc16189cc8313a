// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonObject>

#include <optional>

namespace kavro::models {

// One point of a microphone correction curve, for display; identified by its frequency.
struct FrequencyCurvePoint {
    float frequency = 0; // Hz
    float gainDB = 0;    // correction gain at that frequency

    bool operator==(const FrequencyCurvePoint&) const = default;

    QJsonObject toJson() const;
    // None when a member is missing or not a finite number.
    static std::optional<FrequencyCurvePoint> fromJson(const QJsonObject& object);
};

} // namespace kavro::models
