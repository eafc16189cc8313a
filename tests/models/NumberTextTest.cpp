// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace kavro::models {
namespace {

// Ties of the stored binary value go to the even digit, as printf rounds them; Qt's own
// formatting rounds them away from zero, which would make the same level read 136 in one
// place and 137 in another.
TEST(NumberTextTest, FixedTextRoundsAsPrintf) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {101.25, 1, "101.2"}, {136.5, 0, "136"}, {137.5, 0, "138"},   {0.125, 2, "0.12"},
        {-0.04, 1, "-0.0"},   {2.0, 2, "2.00"},  {1e300, 0, nullptr},
    };
    for (const auto& c : cases) {
        char expected[400];
        std::snprintf(expected, sizeof expected, "%.*f", c.decimals, c.value);
        EXPECT_EQ(fixedText(c.value, c.decimals), QString::fromLatin1(expected)) << c.value;
        if (c.text) {
            EXPECT_EQ(fixedText(c.value, c.decimals), QString::fromLatin1(c.text)) << c.value;
        }
    }
}

TEST(NumberTextTest, ShortestTextReadsBackAsTheSameNumber) {
    for (const double value : {0.1, 1.0 / 3.0, 44100.0, -2.2250738585072014e-308, 1e300, 94.0 + 1e-13,
                               std::numeric_limits<double>::max()}) {
        const QString text = shortestText(value);
        bool ok = false;
        EXPECT_EQ(text.toDouble(&ok), value) << text.toStdString();
        EXPECT_TRUE(ok);
        QByteArray appended("x");
        appendShortestText(appended, value);
        EXPECT_EQ(appended, "x" + text.toLatin1());
    }
    EXPECT_EQ(shortestText(0.1), "0.1");
}

TEST(NumberTextTest, ShortestFixedTextHasNoExponentAndAlwaysAFraction) {
    EXPECT_EQ(shortestFixedText(44100), "44100.0");
    EXPECT_EQ(shortestFixedText(1e6), "1000000.0");
    EXPECT_EQ(shortestFixedText(1741944413.125), "1741944413.125");
    EXPECT_EQ(shortestFixedText(0.0), "0.0");
    EXPECT_EQ(shortestFixedText(INFINITY), "inf");
}

} // namespace
} // namespace kavro::models
