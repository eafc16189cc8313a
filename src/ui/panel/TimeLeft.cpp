// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/panel/TimeLeft.h"

#include "dsp/DoseMath.h"
#include "dsp/ExposureLimits.h"
#include "models/NumberText.h"

#include <algorithm>
#include <cmath>

namespace kavro::ui {

namespace {

// A remaining time meant to be a whole number of minutes can come out a hair short
// in floating point; it must not lose a minute to that.
constexpr double kMinuteTolerance = 1e-6;

} // namespace

TimeLeft TimeLeft::at(double accumulatedDose, double levelDb) {
    if (accumulatedDose >= 1.0) {
        return {Kind::limitReached, 0};
    }
    // Written as "not at least" so that silence (minus infinity) and a level that is
    // not a number count as nothing accruing, as they do for the dose itself.
    if (!(levelDb >= dsp::niosh::kThresholdDb) || !std::isfinite(levelDb)) {
        return {Kind::noDoseAccrues, 0};
    }
    const double remainingFraction = 1.0 - std::max(0.0, accumulatedDose);
    return {Kind::remaining, remainingFraction * dsp::dose::allowedHours(levelDb) * 3600.0};
}

TimeLeft TimeLeft::forCriterion(dsp::criteria::Criterion criterion, double dose, double levelDb) {
    if (dose >= 1.0) {
        return {Kind::limitReached, 0};
    }
    const std::optional<double> hours =
        dsp::criteria::hoursLeft(dsp::criteria::parameters(criterion), dose, levelDb);
    if (!hours) {
        return {Kind::noDoseAccrues, 0};
    }
    return {Kind::remaining, *hours * 3600.0};
}

QString TimeLeft::text() const {
    switch (kind) {
    case Kind::noDoseAccrues:
        return QStringLiteral("No dose accrues");
    case Kind::limitReached:
        return QStringLiteral("Daily limit reached");
    case Kind::remaining:
        break;
    }
    const QString prefix = QStringLiteral("Time left: ");
    if (seconds > kOneDaySeconds) {
        return prefix + QStringLiteral("more than a day");
    }
    const auto minutes = static_cast<long long>(std::floor(seconds / 60.0 + kMinuteTolerance));
    // "0 min" would read as if the limit were already reached.
    if (minutes < 1) {
        return prefix + QStringLiteral("less than a minute");
    }
    if (minutes < 60) {
        return prefix + QStringLiteral("%1 min").arg(minutes);
    }
    return prefix + QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

QString TimeLeft::basisText(Basis basis, double levelDb) {
    const QString level = models::fixedText(levelDb, 1);
    switch (basis) {
    case Basis::lastMinute:
        return QStringLiteral("at the last minute's level (%1 dBA)").arg(level);
    case Basis::current:
        return QStringLiteral("at the current level (%1 dBA)").arg(level);
    case Basis::currentCWeighted:
        return QStringLiteral("at the current C-weighted level (%1 dBC)").arg(level);
    }
    return {};
}

} // namespace kavro::ui
