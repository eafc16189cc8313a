// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace kavro::models {

// Where the level comes from: the measurement microphone, the signal on its way to the
// output, or the output while it is headphones and the microphone otherwise.
enum class MeasureFrom { microphone, output, automatic };

// The stored words: "microphone", "output", "automatic".
QString storedText(MeasureFrom source);
std::optional<MeasureFrom> parseMeasureFrom(const QString& text);

// The choice in force: the stored one, else, as at the first launch, automatic on a
// machine without an input device and the microphone on one with.
MeasureFrom measureFromInForce(const std::optional<QString>& stored, bool hasInputDevice);

} // namespace kavro::models
