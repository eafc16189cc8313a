#pragma once

#include <QString>

namespace kavro::ui {

// How long the listener can stay at the present level before the day's allowance is
// used up: what is left of the dose, spent at the rate of that level (8 h at 85 dBA,
// halved for every 3 dB above). Nothing is spent below 80 dBA.
struct TimeLeft {
    enum class Kind { noDoseAccrues, remaining, limitReached };

    // More than this is shown as "more than a day".
    static constexpr double kOneDaySeconds = 24.0 * 3600.0;

    Kind kind = Kind::noDoseAccrues;
    // Only for `remaining`.
    double seconds = 0;

    // `accumulatedDose` as a fraction (1.0 = the whole allowance), `levelDb` the level
    // the dose is accruing at.
    static TimeLeft at(double accumulatedDose, double levelDb);

    // "Time left at this level: 1 h 35 min", "No dose accrues at this level", ...
    QString text() const;

    friend bool operator==(const TimeLeft&, const TimeLeft&) = default;
};

} // namespace kavro::ui
