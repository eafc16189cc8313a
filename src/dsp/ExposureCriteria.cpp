// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ExposureCriteria.h"

#include <algorithm>
#include <cmath>

namespace kavro::dsp::criteria {

namespace {

// The reference sound pressure, 20 µPa, squared.
constexpr double kReferencePressureSquared = 20e-6 * 20e-6;
constexpr double kSecondsPerHour = 3600.0;
constexpr double kWorkingDayHours = 8.0;

bool counts(const CriterionParameters& criterion, double levelDb) {
    return std::isfinite(levelDb) && (!criterion.thresholdDb || levelDb >= *criterion.thresholdDb);
}

// The table is indexed by the criterion.
constexpr bool tableInOrder() {
    for (std::size_t i = 0; i < kCriteria.size(); ++i) {
        if (static_cast<std::size_t>(kCriteria[i].criterion) != i) {
            return false;
        }
    }
    return true;
}
static_assert(tableInOrder());

} // namespace

const CriterionParameters& parameters(Criterion criterion) {
    return kCriteria[static_cast<std::size_t>(criterion)];
}

std::optional<Criterion> criterionNamed(std::string_view key) {
    const auto* found = std::find_if(kCriteria.begin(), kCriteria.end(),
                                     [key](const CriterionParameters& entry) { return entry.key == key; });
    if (found == kCriteria.end()) {
        return std::nullopt;
    }
    return found->criterion;
}

double allowedHours(const CriterionParameters& criterion, double levelDb) {
    // The same form as the daily dose's rule, so the NIOSH entry gives the same bits.
    return criterion.criterionHours /
           std::exp2((levelDb - criterion.criterionLevelDb) / criterion.exchangeRateDb);
}

double doseFraction(const CriterionParameters& criterion, double levelDb, double seconds) {
    if (!counts(criterion, levelDb) || !(seconds > 0.0)) {
        return 0.0;
    }
    return seconds / (allowedHours(criterion, levelDb) * kSecondsPerHour);
}

double projectedDose(const CriterionParameters& criterion, double dose, double levelDb) {
    if (!counts(criterion, levelDb)) {
        return dose;
    }
    const double perHour = 1.0 / allowedHours(criterion, levelDb);
    return dose + perHour * std::max(0.0, kWorkingDayHours - kWorkingDayHours * dose);
}

std::optional<double> hoursLeft(const CriterionParameters& criterion, double dose, double levelDb) {
    if (!counts(criterion, levelDb)) {
        return std::nullopt;
    }
    return std::max(0.0, 1.0 - dose) * allowedHours(criterion, levelDb);
}

Figure figureOf(Criterion criterion, double dose, std::optional<double> levelDb) {
    Figure figure{criterion, dose, std::nullopt, std::nullopt};
    if (!levelDb) {
        return figure;
    }
    const CriterionParameters& entry = parameters(criterion);
    if (entry.periodDays == 1) {
        figure.projectedDose = projectedDose(entry, dose, *levelDb);
    }
    figure.hoursLeft = hoursLeft(entry, dose, *levelDb);
    return figure;
}

std::optional<double> exposureLevelDb(double euDose) {
    if (!(euDose > 0.0) || !std::isfinite(euDose)) {
        return std::nullopt;
    }
    return parameters(Criterion::euDailyExposure).criterionLevelDb + 10.0 * std::log10(euDose);
}

double soundExposurePa2h(double levelDb, double seconds) {
    if (!std::isfinite(levelDb) || !(seconds > 0.0)) {
        return 0.0;
    }
    return kReferencePressureSquared * std::pow(10.0, levelDb / 10.0) * seconds / kSecondsPerHour;
}

double soundExposureOfDose(Criterion energyCriterion, double dose) {
    const CriterionParameters& entry = parameters(energyCriterion);
    return dose * soundExposurePa2h(entry.criterionLevelDb, entry.criterionHours * kSecondsPerHour);
}

double doseOfSoundExposure(Criterion energyCriterion, double pascalSquaredHours) {
    return pascalSquaredHours / soundExposureOfDose(energyCriterion, 1.0);
}

void CriteriaDoses::add(double levelDb, double seconds) {
    for (const CriterionParameters& criterion : kCriteria) {
        m_doses[static_cast<std::size_t>(criterion.criterion)] += doseFraction(criterion, levelDb, seconds);
    }
}

} // namespace kavro::dsp::criteria
