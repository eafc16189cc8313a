// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/OutputReferenceMath.h"

#include <gtest/gtest.h>

namespace reference = kavro::dsp::outputReference;

namespace {

constexpr double kTolerance = 0.005;

// Values worked out by hand from 0 dBu = √0.6 V, P = V²/Z and a sine's crest of √2.
TEST(OutputReferenceMath, DbuToVolts) {
    struct Row {
        double dbu;
        double volts;
    };
    for (const Row row : {Row{0, 0.7746}, Row{4, 1.2277}, Row{-10, 0.24495}, Row{24, 12.2765}}) {
        EXPECT_NEAR(reference::voltsFromDbu(row.dbu), row.volts, 1e-4) << row.dbu;
        EXPECT_NEAR(reference::dbuFromVolts(row.volts), row.dbu, 1e-3) << row.volts;
    }
}

TEST(OutputReferenceMath, SensitivityPerMilliwattToPerVolt) {
    struct Row {
        double perMilliwatt;
        double ohms;
        double perVolt;
    };
    for (const Row row : {Row{102, 32, 116.95}, Row{100, 300, 105.23}, Row{110, 16, 127.96},
                          Row{97, 600, 99.22}, Row{90, 1000, 90.0}}) {
        EXPECT_NEAR(reference::perVoltFromPerMilliwatt(row.perMilliwatt, row.ohms), row.perVolt, kTolerance)
            << row.perMilliwatt << " dB/mW at " << row.ohms << " ohms";
    }
}

TEST(OutputReferenceMath, ReferenceFromEachWay) {
    struct Row {
        const char* name;
        double reference;
        double expected;
    };
    const Row rows[] = {
        // 116.95 dB/V, +4 dBu = 1.2277 V: a full-scale sine reaches 118.73, an RMS of 1.0 3.01 more.
        {"102 dB/mW 32 ohms on +4 dBu",
         reference::fromSensitivity(reference::perVoltFromPerMilliwatt(102, 32), reference::voltsFromDbu(4)),
         121.74},
        {"110 dB/V on 1 V", reference::fromSensitivity(110, 1.0), 113.01},
        {"120 dB/V on 2 V", reference::fromSensitivity(120, 2.0), 129.03},
        {"measured at 100 %", reference::fromMeasurement(85, -15, 0), 100.0},
        // At half volume (−18.06 dB) the same reading means 18.06 dB more at full volume.
        {"measured at 50 %", reference::fromMeasurement(85, -15, -18.06), 118.06},
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(row.reference, row.expected, kTolerance) << row.name;
    }
}

} // namespace
