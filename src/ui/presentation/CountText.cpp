// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/CountText.h"

namespace kavro::ui {

QString countText(qsizetype count, const char* noun) {
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(noun),
                                                    QLatin1String(count == 1 ? "" : "s"));
}

} // namespace kavro::ui
