// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/DoseLevel.h"
#include "ui/settings/SettingSwitch.h"
#include "ui/style/Colours.h"

#include <QString>

#include <variant>
#include <vector>

namespace kavro::ui {

// The pieces a section of reference text is made of.
namespace reference {

// A paragraph in the small text size.
struct Paragraph {
    QString text;
};
// A bold line above the paragraph it introduces.
struct Subheading {
    QString text;
};
// A label on the left, its value on the right.
struct ValueRow {
    QString label;
    QString value;
};
// A dose band: a dot in its colour, its name, and its range on the right.
struct BandRow {
    models::DoseLevel level = models::DoseLevel::safe;
    QString label;
    QString range;
};
// A dot in a colour, a short label and the text that explains it.
struct ColouredRow {
    ColourRole colour = ColourRole::green;
    QString label;
    QString text;
};
// The A- and C-weighting curves, drawn from the program's own filters.
struct WeightingImage {};
// A switch bound to one of the user's settings.
struct Switch {
    SettingSwitch setting;
};

using Block = std::variant<Paragraph, Subheading, ValueRow, BandRow, ColouredRow, WeightingImage, Switch>;

} // namespace reference

// One titled section of a tab of reference texts and switches.
struct ReferenceSection {
    QString heading;
    std::vector<reference::Block> blocks;
};

} // namespace kavro::ui
