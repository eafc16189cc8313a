// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

namespace kavro::models {

// One input or output device as the device lists show it.
struct AudioDevice {
    std::uint32_t id = 0;  // stable while the device is present
    QString name;          // "Unknown Device" when the platform gives none
    QString manufacturer;  // "Unknown" when the platform gives none
    QString uid;           // persistent identifier
    bool hasInput = false; // true in the input list, false in the output list

    // The name, followed by the manufacturer in parentheses when one is known.
    QString displayName() const {
        if (!manufacturer.isEmpty() && manufacturer != QLatin1String("Unknown")) {
            return name + QLatin1String(" (") + manufacturer + QLatin1Char(')');
        }
        return name;
    }

    bool operator==(const AudioDevice&) const = default;
};

// One channel of the selected input device.
struct AudioChannel {
    std::int64_t index = 0; // 0-based device channel number
    QString name;           // the device's name for it, or "Channel " + (index + 1)

    bool operator==(const AudioChannel&) const = default;
};

} // namespace kavro::models
