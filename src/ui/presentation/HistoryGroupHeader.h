// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "services/HistoryRangeStatistics.h"
#include "ui/presentation/HistoryColour.h"

#include <QLocale>
#include <QString>

namespace kavro::ui {

// The header of one day's sessions in the history window's list.
struct HistoryGroupHeader {
    QString title; // the day in the medium date style, "Mar 14, 2025"
    // The day's completed sessions only: unlike the calendar, not the live dose of today.
    double dose = 0;
    HistoryColour colour = HistoryColour::green;

    // "Dose: 35.0%".
    QString doseText() const;

    static HistoryGroupHeader of(const services::HistoryRangeStatistics::DayGroup& group,
                                 const QLocale& locale = QLocale());
};

} // namespace kavro::ui
