// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ExposureCriteria.h"
#include "dsp/DoseMath.h"
#include "support/ParamNames.h"

#include <gtest/gtest.h>

#include <vector>

namespace criteria = kavro::dsp::criteria;
using criteria::Criterion;

namespace {

using kavro::testing::PrintTo;

// A stretch of steady listening.
struct Exposure {
    double levelDb;
    double hours;
};

struct PublishedCase {
    const char* name;
    Criterion criterion;
    std::vector<Exposure> exposures;
    // Percent of the allowance, or for the EU criterion L_EX,8h in dB(A).
    double expected;
    double tolerance;
};

// Fed as the program feeds it: 0.1 s intervals.
criteria::CriteriaDoses listen(const std::vector<Exposure>& exposures) {
    criteria::CriteriaDoses doses;
    for (const Exposure& exposure : exposures) {
        const auto intervals = static_cast<long>(exposure.hours * 36000.0);
        for (long i = 0; i < intervals; ++i) {
            doses.add(exposure.levelDb, 0.1);
        }
    }
    return doses;
}

class PublishedTables : public ::testing::TestWithParam<PublishedCase> {};

} // namespace

// OSHA 1910.95 Table G-16a, the NIOSH REL, the EU L_EX,8h and ITU-T H.870.
TEST_P(PublishedTables, DoseMatchesThePublishedFigure) {
    const PublishedCase& entry = GetParam();
    const double dose = listen(entry.exposures).dose(entry.criterion);
    const double figure = entry.criterion == Criterion::euDailyExposure
                              ? criteria::exposureLevelDb(dose).value_or(0.0)
                              : dose * 100.0;
    EXPECT_NEAR(figure, entry.expected, entry.tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, PublishedTables,
    ::testing::Values(
        PublishedCase{"OshaPel95dBFor4Hours", Criterion::oshaPel, {{95, 4}}, 100, 0.01},
        // The table rounds the allowed time at 92 dBA (6.06 h) to 6 h.
        PublishedCase{"OshaPel92dBFor6Hours", Criterion::oshaPel, {{92, 6}}, 100, 1.1},
        PublishedCase{"OshaPelIgnoresLevelsBelowIt", Criterion::oshaPel, {{85, 8}, {89.9, 1}}, 0, 0},
        PublishedCase{"OshaPelMixedDay", Criterion::oshaPel, {{90, 4}, {95, 2}}, 100, 0.01},
        PublishedCase{
            "OshaHearingConservation85dBFor8Hours", Criterion::oshaHearingConservation, {{85, 8}}, 50, 0.01},
        PublishedCase{
            "OshaHearingConservationIgnoresBelow80", Criterion::oshaHearingConservation, {{79.9, 8}}, 0, 0},
        PublishedCase{"Niosh85dBFor8Hours", Criterion::nioshRel, {{85, 8}}, 100, 0.01},
        PublishedCase{"Niosh100dBFor15Minutes", Criterion::nioshRel, {{100, 0.25}}, 100, 0.01},
        PublishedCase{"Eu88dBFor4Hours", Criterion::euDailyExposure, {{88, 4}}, 85.0, 0.05},
        PublishedCase{"Eu85dBFor8Hours", Criterion::euDailyExposure, {{85, 8}}, 85.0, 0.01},
        PublishedCase{"EuCountsQuietListening", Criterion::euDailyExposure, {{70, 8}}, 70.0, 0.01},
        PublishedCase{"Who80dBFor40Hours", Criterion::whoWeekly, {{80, 40}}, 100, 0.01},
        PublishedCase{"Who95dBFor1Hour", Criterion::whoWeekly, {{95, 1}}, 79, 0.1}),
    kavro::testing::PrintedName{});

// The NIOSH entry of the table is the daily dose's own rule, to the last bit: the view
// of every criterion and the daily dose can never disagree.
TEST(ExposureCriteria, NioshEntryIsTheDailyDoseRule) {
    for (const double level : {80.0, 85.0, 91.3, 120.0}) {
        EXPECT_EQ(criteria::doseFraction(criteria::parameters(Criterion::nioshRel), level, 0.1),
                  kavro::dsp::dose::doseFraction(level, 0.1));
    }
}

// The energy criteria are one figure in other units: a weekly dose from Pa²h equals the
// dose counted interval by interval.
TEST(ExposureCriteria, WeeklyDoseOfSoundExposureAgreesWithTheDose) {
    const double pascalSquaredHours = criteria::soundExposurePa2h(95.0, 3600.0);
    EXPECT_NEAR(criteria::doseOfSoundExposure(Criterion::whoWeekly, pascalSquaredHours),
                listen({{95, 1}}).dose(Criterion::whoWeekly), 1e-9);
}

struct OutlookCase {
    const char* name;
    Criterion criterion;
    double dose;
    double levelDb;
    double projected;
    std::optional<double> hoursLeft;
};

class Outlook : public ::testing::TestWithParam<OutlookCase> {};

TEST_P(Outlook, ProjectionAndTimeLeft) {
    const OutlookCase& entry = GetParam();
    const auto& parameters = criteria::parameters(entry.criterion);
    EXPECT_NEAR(criteria::projectedDose(parameters, entry.dose, entry.levelDb), entry.projected, 1e-9);
    const std::optional<double> left = criteria::hoursLeft(parameters, entry.dose, entry.levelDb);
    ASSERT_EQ(left.has_value(), entry.hoursLeft.has_value());
    if (left) {
        EXPECT_NEAR(*left, *entry.hoursLeft, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, Outlook,
    ::testing::Values(
        // Half the allowance used, 4 more hours at the criterion level use the other half.
        OutlookCase{"OshaPelHalfwayAtTheCriterion", Criterion::oshaPel, 0.5, 90, 1.0, 4.0},
        OutlookCase{"OshaPelBelowItsThresholdStands", Criterion::oshaPel, 0.5, 85, 0.5, std::nullopt},
        OutlookCase{"OverTheAllowanceNothingIsLeft", Criterion::nioshRel, 1.5, 88, 1.5, 0.0},
        OutlookCase{"EuCountsEveryLevel", Criterion::euDailyExposure, 0.0, 87, 1.0, 8.0}),
    kavro::testing::PrintedName{});
