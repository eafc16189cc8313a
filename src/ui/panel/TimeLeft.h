// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ExposureCriteria.h"

#include <QString>

namespace kavro::ui {

// How long the listener can stay at the present level before the day's allowance is
// used up: what is left of the dose, spent at the rate of that level (8 h at 85 dBA,
// halved for every 3 dB above). Nothing is spent below 80 dBA.
struct TimeLeft {
    enum class Kind { noDoseAccrues, remaining, limitReached };

    // Which level the time is worked out at. Music swings by several decibels from one
    // moment to the next, so the last minute's Leq is the steady choice; until a minute
    // has been heard it is the current level, and when the dose counts the higher of
    // the two weightings it may be the C-weighted one.
    enum class Basis { lastMinute, current, currentCWeighted };

    // More than this is shown as "more than a day".
    static constexpr double kOneDaySeconds = 24.0 * 3600.0;

    Kind kind = Kind::noDoseAccrues;
    // Only for `remaining`.
    double seconds = 0;

    // `accumulatedDose` as a fraction (1.0 = the whole allowance), `levelDb` the level
    // the dose is accruing at.
    static TimeLeft at(double accumulatedDose, double levelDb);
    // The same for another criterion's dose (the one the user chose to be warned by).
    static TimeLeft forCriterion(dsp::criteria::Criterion criterion, double dose, double levelDb);

    // "Time left: 1 h 35 min", "Time left: less than a minute", "No dose accrues", ...
    QString text() const;
    // The line below it that names the level: "at the last minute's level (78.2 dBA)".
    static QString basisText(Basis basis, double levelDb);

    friend bool operator==(const TimeLeft&, const TimeLeft&) = default;
};

} // namespace kavro::ui
