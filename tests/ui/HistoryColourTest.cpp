// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryColour.h"

#include <gtest/gtest.h>

#include <string>

namespace kavro::ui {
namespace {

using Colour = HistoryColour;

struct ColourCase {
    std::string rule;
    Colour actual;
    Colour expected;
};

void PrintTo(const ColourCase& c, std::ostream* os) {
    *os << c.rule;
}

class HistoryColourTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(HistoryColourTest, BoundariesBelongToTheUpperBand) {
    EXPECT_EQ(GetParam().actual, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, HistoryColourTest,
    // Where each band begins is the dose level's own test; here, each band's colour.
    ::testing::Values(ColourCase{"dose 39.999", doseColour(39.999), Colour::green},
                      ColourCase{"dose 40", doseColour(40), Colour::yellow},
                      ColourCase{"dose 70", doseColour(70), Colour::orange},
                      ColourCase{"dose 90", doseColour(90), Colour::red},
                      ColourCase{"calendar day without dose", calendarDayColour(0, false), Colour::clear},
                      ColourCase{"calendar day with dose", calendarDayColour(75, false), Colour::orange},
                      ColourCase{"calendar day in the future", calendarDayColour(75, true), Colour::clear},
                      ColourCase{"chart header without dose", chartHeaderDoseColour(0), Colour::secondary},
                      ColourCase{"chart header with dose", chartHeaderDoseColour(50), Colour::yellow},
                      ColourCase{"EU weekly none", euWeeklyColour(std::nullopt),
                                 Colour::secondaryHalfOpacity},
                      ColourCase{"EU weekly 79.99", euWeeklyColour(79.99), Colour::green},
                      ColourCase{"EU weekly 80", euWeeklyColour(80), Colour::orange},
                      ColourCase{"EU weekly 84.99", euWeeklyColour(84.99), Colour::orange},
                      ColourCase{"EU weekly 85", euWeeklyColour(85), Colour::red},
                      ColourCase{"peak none", peakDBCColour(std::nullopt), Colour::secondaryHalfOpacity},
                      ColourCase{"peak 134.9", peakDBCColour(134.9), Colour::secondary},
                      ColourCase{"peak 135", peakDBCColour(135), Colour::orange},
                      ColourCase{"peak 139.9", peakDBCColour(139.9), Colour::orange},
                      ColourCase{"peak 140", peakDBCColour(140), Colour::red},
                      ColourCase{"no impulses", impulseColour(0), Colour::secondaryHalfOpacity},
                      ColourCase{"one impulse", impulseColour(1), Colour::orange}));

} // namespace
} // namespace kavro::ui
