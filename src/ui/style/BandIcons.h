// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/DoseLevel.h"

#include <QIcon>
#include <QPalette>
#include <QString>

namespace kavro::ui {

// The symbol of each dose band: an ear while safe, a filled ear at caution, an ear
// with a warning badge at warning and a warning triangle when over-exposed, always
// in the band's colour.
class BandIcons {
public:
    // "ear", "ear.fill", "ear.trianglebadge.exclamationmark" or "exclamationmark.triangle.fill".
    static QString symbolName(models::DoseLevel level);
    // In the band's own colour, for surfaces whose colour the program does not know
    // (the desktop's tray).
    static QIcon icon(models::DoseLevel level);
    // In the band's colour as made readable on `palette`.
    static QIcon icon(models::DoseLevel level, const QPalette& palette);
};

} // namespace kavro::ui
