// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/style/Colours.h"

#include <QString>

#include <optional>

namespace kavro::ui {

// A line of the settings window: its words, their colour and the symbol before them.
struct SettingsText {
    QString text;
    ColourRole colour = ColourRole::primary;
    QString symbol;
    // The symbol in another colour than the words (a green check before plain text).
    std::optional<ColourRole> symbolColour;

    friend bool operator==(const SettingsText&, const SettingsText&) = default;
};

} // namespace kavro::ui
