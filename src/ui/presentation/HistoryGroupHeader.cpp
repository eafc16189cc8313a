// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryGroupHeader.h"

#include "models/NumberText.h"
#include "ui/presentation/HistoryDates.h"

namespace kavro::ui {

HistoryGroupHeader HistoryGroupHeader::of(const services::HistoryRangeStatistics::DayGroup& group,
                                          const QLocale& locale) {
    return {HistoryDates::mediumDate(group.day, locale), group.totalDose, doseColour(group.totalDose)};
}

QString HistoryGroupHeader::doseText() const {
    return QStringLiteral("Dose: ") + models::fixedText(dose, 1) + QLatin1Char('%');
}

} // namespace kavro::ui
