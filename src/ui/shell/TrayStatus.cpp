// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/TrayStatus.h"

#include "models/NumberText.h"

namespace kavro::ui {

QString TrayStatus::toolTip(models::DoseLevel level, double dosePercentage) {
    return QStringLiteral("Kavro — %1, %2%").arg(models::label(level), models::fixedText(dosePercentage, 1));
}

TrayStatus::Changes TrayStatus::update(models::DoseLevel level, double dosePercentage, TimePoint now) {
    Changes changes;
    const QString text = toolTip(level, dosePercentage);
    const bool newBand = m_shownLevel != level;
    if (newBand) {
        changes.icon = level;
        m_shownLevel = level;
    }
    if (text == m_shownToolTip) {
        return changes;
    }
    const auto since = now - m_toolTipSentAt;
    if (newBand || m_shownToolTip.isEmpty() || since >= kToolTipInterval) {
        changes.toolTip = text;
        m_shownToolTip = text;
        m_toolTipSentAt = now;
    } else {
        changes.askAgainIn = std::chrono::ceil<std::chrono::milliseconds>(kToolTipInterval - since);
    }
    return changes;
}

} // namespace kavro::ui
