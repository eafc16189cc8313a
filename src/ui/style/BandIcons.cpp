// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/style/BandIcons.h"

#include "ui/style/Colours.h"
#include "ui/style/SymbolIcons.h"

namespace kavro::ui {

QString BandIcons::symbolName(models::DoseLevel level) {
    switch (level) {
    case models::DoseLevel::safe:
        return QStringLiteral("ear");
    case models::DoseLevel::caution:
        return QStringLiteral("ear.fill");
    case models::DoseLevel::warning:
        return QStringLiteral("ear.trianglebadge.exclamationmark");
    case models::DoseLevel::danger:
        return QStringLiteral("exclamationmark.triangle.fill");
    }
    return QStringLiteral("ear");
}

QIcon BandIcons::icon(models::DoseLevel level) {
    return SymbolIcons::icon(symbolName(level),
                             QColor::fromRgb(static_cast<QRgb>(models::colour(level).rgb)));
}

QIcon BandIcons::icon(models::DoseLevel level, const QPalette& palette) {
    return SymbolIcons::icon(symbolName(level), bandColour(level, palette));
}

} // namespace kavro::ui
