// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/presentation/HistoryColour.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QUuid>

#include <optional>

namespace kavro::models {
struct Session;
}
namespace kavro::platform {
class Clock;
}

namespace kavro::ui {

// One completed session in the history window's list, worded: what ran, when and how
// long, its peak badges, the day's running dose up to it and its own dose and levels.
struct HistorySessionRow {
    struct Badge {
        QString symbol;
        QString text; // "×3 ≥135 dBC"
        HistoryColour colour = HistoryColour::red;
        friend bool operator==(const Badge&, const Badge&) = default;
    };

    QUuid id;
    QString workstation;
    QString timeRange; // "09:00 – 10:30", or "09:00 – now" while running
    QString duration;  // "1h 30m"
    // Only the counters that are 1 or more, ≥140 dBC first.
    QList<Badge> badges;
    QString dayDose; // "35.0% day"
    HistoryColour dayDoseColour = HistoryColour::green;
    QString sessionDose;            // "+20.0% session"
    QString average;                // "Avg 84 dBA"
    QString peak;                   // "Pk 97 dBA"
    std::optional<QString> peakDBC; // "Pk 136 dBC", when there was a C-weighted peak
    HistoryColour peakDBCColour = HistoryColour::secondary;
    // The session's details: "Calibration: 113.7 dB, sound calibrator (94.0 dBC) on …",
    // or "Calibration: unknown" for a session stored before sessions carried it.
    QString calibration;
    // "Measured from the microphone", or from an output with its profile's name.
    QString source;

    // `cumulativeDayDose` is the day's dose up to and including this session. Times are
    // shown in the clock's time zone in the locale's short time style.
    static HistorySessionRow of(const models::Session& session, double cumulativeDayDose,
                                const platform::Clock& clock, const QLocale& locale = QLocale());

    // Everything the row shows, in reading order, for a screen reader.
    QString spokenText() const;

    friend bool operator==(const HistorySessionRow&, const HistorySessionRow&) = default;
};

} // namespace kavro::ui
