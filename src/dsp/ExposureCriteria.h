// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kavro::dsp {

// The exposure criteria that dosimeters and health bodies count, side by side, all from
// the same measured A-weighted intervals. Each is a dose: time at a level against the
// time that level is allowed, the allowed time halving for every exchange-rate step
// above the criterion level; intervals below a criterion's threshold do not count.
namespace criteria {

enum class Criterion : std::size_t {
    nioshRel,
    oshaPel,
    oshaHearingConservation,
    euDailyExposure,
    whoWeekly,
};

inline constexpr std::size_t kCriterionCount = 5;

// The exchange rate of a pure sound-energy count: 10·log10(2) dB doubles the energy, so
// a dose with it is the A-weighted sound exposure itself (Pa²h) in other units.
inline constexpr double kEnergyExchangeRateDb = 3.0102999566398120;

struct CriterionParameters {
    Criterion criterion;
    // The stable name used in preferences, JSON and CSV.
    std::string_view key;
    double criterionLevelDb;
    double criterionHours;
    double exchangeRateDb;
    // Intervals below it do not count; none counts everything.
    std::optional<double> thresholdDb;
    // The days one allowance covers: 1 for a daily dose, 7 for a weekly one.
    int periodDays;
};

// One table of every criterion.
inline constexpr std::array<CriterionParameters, kCriterionCount> kCriteria{{
    {Criterion::nioshRel, "nioshRel", 85.0, 8.0, 3.0, 80.0, 1},
    {Criterion::oshaPel, "oshaPel", 90.0, 8.0, 5.0, 90.0, 1},
    {Criterion::oshaHearingConservation, "oshaHearingConservation", 90.0, 8.0, 5.0, 80.0, 1},
    // The EU daily exposure level is an 8-hour energy average; counted as a dose against
    // the exposure limit value it turns back into L_EX,8h with exposureLevelDb().
    {Criterion::euDailyExposure, "euDailyExposure", 87.0, 8.0, kEnergyExchangeRateDb, std::nullopt, 1},
    // WHO / ITU-T H.870: 1.6 Pa²h a week, that is 80 dBA for 40 hours.
    {Criterion::whoWeekly, "whoWeekly", 80.0, 40.0, kEnergyExchangeRateDb, std::nullopt, 7},
}};

const CriterionParameters& parameters(Criterion criterion);
std::optional<Criterion> criterionNamed(std::string_view key);

// The action values and the limit value of the EU daily exposure level, dB(A).
inline constexpr std::array<double, 3> kEuExposureValuesDb{80.0, 85.0, 87.0};

// Hours at levelDb that make up one whole allowance.
double allowedHours(const CriterionParameters& criterion, double levelDb);
// The share of the allowance (1.0 = all of it) that `seconds` at levelDb use; 0 below
// the threshold or for a level that is not a finite number.
double doseFraction(const CriterionParameters& criterion, double levelDb, double seconds);
// Projected to the end of an 8-hour day at levelDb: the rest of the day is taken to be
// what is left of 8 hours at the dose's pace, never less than nothing (the rule the
// daily dose has always used). Only for daily criteria.
double projectedDose(const CriterionParameters& criterion, double dose, double levelDb);
// Hours left at levelDb until the whole allowance is used: 0 once it is, none when the
// level does not count at all.
std::optional<double> hoursLeft(const CriterionParameters& criterion, double dose, double levelDb);

// What a view shows of one criterion: the dose so far, the projection to the end of an
// 8-hour day (daily criteria only) and the hours left, both at the current level when
// there is one.
struct Figure {
    Criterion criterion;
    double dose = 0;
    std::optional<double> projectedDose;
    std::optional<double> hoursLeft;
};
Figure figureOf(Criterion criterion, double dose, std::optional<double> levelDb);

// L_EX,8h (or the weekly L_EX,w) of an EU dose: the criterion level plus the dose in dB.
// None for no exposure.
std::optional<double> exposureLevelDb(double euDose);

// A-weighted sound exposure, Pa²h, of `seconds` at levelDb.
double soundExposurePa2h(double levelDb, double seconds);
// The dose of an energy criterion (EU, WHO) that a sound exposure makes, and back: for
// the WHO weekly dose 1.0 = 1.6 Pa²h.
double doseOfSoundExposure(Criterion energyCriterion, double pascalSquaredHours);
double soundExposureOfDose(Criterion energyCriterion, double dose);

// The running doses of every criterion over one stretch of listening.
class CriteriaDoses {
public:
    void add(double levelDb, double seconds);
    double dose(Criterion criterion) const { return m_doses[static_cast<std::size_t>(criterion)]; }
    void setDose(Criterion criterion, double dose) { m_doses[static_cast<std::size_t>(criterion)] = dose; }
    void clear() { m_doses.fill(0.0); }
    void addDoses(const CriteriaDoses& other) {
        for (std::size_t i = 0; i < kCriterionCount; ++i) {
            m_doses[i] += other.m_doses[i];
        }
    }

private:
    std::array<double, kCriterionCount> m_doses{};
};

} // namespace criteria
} // namespace kavro::dsp
