// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ExposureCriteria.h"
#include "ui/presentation/HistoryColour.h"

#include <QList>
#include <QString>

#include <array>

namespace kavro::services {
class HistoryRangeStatistics;
}

namespace kavro::ui {

// What the info button of a statistics tile explains: what the number is and, where
// its colour has a meaning, one row per colour.
struct StatisticInfo {
    struct Threshold {
        HistoryColour colour = HistoryColour::green;
        QString text;
        friend bool operator==(const Threshold&, const Threshold&) = default;
    };

    QString title;
    QString detail;
    QList<Threshold> thresholds;

    friend bool operator==(const StatisticInfo&, const StatisticInfo&) = default;
};

// One of the six statistics tiles of the history window: its label, its value as drawn
// and in the value's colour, and its explanation.
struct StatisticTile {
    QString label;
    QString value;
    HistoryColour colour = HistoryColour::secondary;
    StatisticInfo info;

    // What a screen reader says for the tile: "Avg per day: 33.0%"; a dash is "no value".
    QString spokenText() const;

    friend bool operator==(const StatisticTile&, const StatisticTile&) = default;
};

// The statistics tiles of a range, in the order they are shown: total dose, average per
// day, EU weekly level, peak dBA, peak dBC and impulses.
class HistoryTiles {
public:
    static constexpr std::size_t kCount = 6;

    static std::array<StatisticTile, kCount> of(const services::HistoryRangeStatistics& statistics);
    // The WHO weekly dose of the last 7 days (percent), beside the range's tiles.
    static StatisticTile weeklyDose(double percent);
    // The other criteria over the range's sessions: the OSHA doses added up, and the EU
    // L_EX,8h of the range's average day.
    static QString rangeCriteriaText(const dsp::criteria::CriteriaDoses& sum, int rangeDays);
    // The line under the tiles: "231.0%  of 7×100%".
    static QString cumulativeText(const services::HistoryRangeStatistics& statistics);
};

} // namespace kavro::ui
