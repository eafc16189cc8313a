// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/DoseLevel.h"

#include <QString>

#include <chrono>
#include <optional>

namespace kavro::ui {

// Decides what the tray item shows and when to send it. Every change of the icon or
// the tooltip travels over D-Bus to the desktop's panel process, so the icon is sent
// only when the band changes, and the tooltip (whose dose moves by the tenth of a
// percent) at most once a minute, except together with a new band.
class TrayStatus {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    static constexpr std::chrono::seconds kToolTipInterval{60};

    // "Kavro — Caution, 42.5%"
    static QString toolTip(models::DoseLevel level, double dosePercentage);

    struct Changes {
        std::optional<models::DoseLevel> icon; // send this band's icon
        std::optional<QString> toolTip;        // send this tooltip
        // A newer tooltip is waiting: ask again after this long.
        std::optional<std::chrono::milliseconds> askAgainIn;
    };
    // What to send now for the current band and dose.
    Changes update(models::DoseLevel level, double dosePercentage, TimePoint now);

private:
    std::optional<models::DoseLevel> m_shownLevel;
    QString m_shownToolTip;
    TimePoint m_toolTipSentAt{};
};

} // namespace kavro::ui
