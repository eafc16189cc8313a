// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/presentation/HistoryColour.h"
#include "ui/presentation/HistorySessionRow.h"
#include "ui/presentation/HistoryTiles.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <optional>

namespace kavro::ui {

// Everything the history window shows, already worded and coloured, in the parts its
// widgets draw. Each part compares equal when nothing in it changed, so a widget can
// leave itself alone.
struct HistoryModel {
    struct DayCell {
        QDate date;
        QString number; // "14"
        // The dose dot: only for a past or present day with a dose.
        HistoryColour dot = HistoryColour::clear;
        bool isInRange = false;
        // The first or last day of a range of several days: a stronger tint.
        bool isRangeEdge = false;
        bool isToday = false;
        bool isFuture = false;
        bool isAnchor = false;
        // The day the keyboard acts on.
        bool isFocused = false;
        QString spokenName;   // "14 March 2025, dose 42.5 %"
        QString spokenStates; // "today, selected, range start"
        friend bool operator==(const DayCell&, const DayCell&) = default;
    };
    using Week = std::array<std::optional<DayCell>, 7>;

    struct Calendar {
        QString monthTitle; // "March 2025"
        bool canShowNextMonth = false;
        std::array<QString, 7> weekdays;
        QList<Week> weeks;
        QString hint;
        std::array<QString, 4> presets;
        friend bool operator==(const Calendar&, const Calendar&) = default;
    };

    struct Header {
        QString rangeLabel;   // "Mar 8, 2025 – Mar 14, 2025"
        QString dayCount;     // "7 days"
        QString sessionCount; // "12 sessions"
        QString exportLabel;  // "Export CSV"
        bool canExport = false;
        friend bool operator==(const Header&, const Header&) = default;
    };

    struct Statistics {
        std::array<StatisticTile, HistoryTiles::kCount> tiles;
        QString cumulativeLabel; // "Cumulative"
        QString cumulativeText;  // "231.0%  of 7×100%"
        double cumulativeFraction = 0;
        // The weekly dose and the other criteria of the range, below the cumulative bar.
        StatisticTile weeklyTile;
        QString criteriaText;
        friend bool operator==(const Statistics&, const Statistics&) = default;
    };

    struct ChartBar {
        QDate day;
        QString label; // "Fr", or "·" for today
        double height = 0;
        HistoryColour colour = HistoryColour::green;
        bool isHovered = false;
        QString toolTip; // "Fri 14 Mar  ·  12.5%  ·  2 sessions"
        friend bool operator==(const ChartBar&, const ChartBar&) = default;
    };

    struct Chart {
        QString title;    // the hovered day or "Selected range" / "Last 7 days"
        QString doseText; // the hovered day's dose, "No data"; empty without a hovered day
        HistoryColour doseColour = HistoryColour::secondary;
        QString sessionText; // "2 sessions"; empty without sessions
        QString hint;        // "Click to select day"
        QList<ChartBar> bars;
        double barSpacing = 4;
        friend bool operator==(const Chart&, const Chart&) = default;
    };

    struct SessionGroup {
        QString title;    // "Mar 14, 2025"
        QString doseText; // "Dose: 35.0%"
        HistoryColour doseColour = HistoryColour::green;
        QList<HistorySessionRow> rows; // oldest first
        friend bool operator==(const SessionGroup&, const SessionGroup&) = default;
    };

    struct Sessions {
        // Shown when there are no groups.
        QString emptyText; // "No sessions in this range"
        QList<SessionGroup> groups;
        // The one row asking "Delete session?", if any.
        std::optional<QUuid> confirmingDelete;
        QString deleteQuestion; // "Delete session?"
        QString cancelLabel;    // "Cancel"
        QString deleteLabel;    // "Delete"
        friend bool operator==(const Sessions&, const Sessions&) = default;
    };

    Calendar calendar;
    Header header;
    Statistics statistics;
    Chart chart;
    Sessions sessions;

    friend bool operator==(const HistoryModel&, const HistoryModel&) = default;
};

} // namespace kavro::ui
