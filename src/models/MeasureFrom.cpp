// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/MeasureFrom.h"

#include <array>
#include <utility>

namespace kavro::models {

namespace {

constexpr std::array<std::pair<MeasureFrom, const char*>, 3> kStoredTexts{{
    {MeasureFrom::microphone, "microphone"},
    {MeasureFrom::output, "output"},
    {MeasureFrom::automatic, "automatic"},
}};

} // namespace

QString storedText(MeasureFrom source) {
    for (const auto& [value, text] : kStoredTexts) {
        if (value == source) {
            return QString::fromLatin1(text);
        }
    }
    return {};
}

std::optional<MeasureFrom> parseMeasureFrom(const QString& text) {
    for (const auto& [value, stored] : kStoredTexts) {
        if (text == QLatin1String(stored)) {
            return value;
        }
    }
    return std::nullopt;
}

MeasureFrom measureFromInForce(const std::optional<QString>& stored, bool hasInputDevice) {
    if (const auto parsed = stored ? parseMeasureFrom(*stored) : std::nullopt) {
        return *parsed;
    }
    return hasInputDevice ? MeasureFrom::microphone : MeasureFrom::automatic;
}

} // namespace kavro::models
