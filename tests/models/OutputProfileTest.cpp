// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/OutputProfile.h"
#include "models/MeasureFrom.h"
#include "models/OutputDataSheet.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using kavro::models::MeasureFrom;
using kavro::models::OutputDataSheet;
using kavro::models::OutputProfile;
using SensitivityUnit = OutputDataSheet::SensitivityUnit;
using LevelUnit = OutputDataSheet::LevelUnit;

namespace {

const QDateTime kSetAt(QDate(2026, 3, 4), QTime(5, 6, 7, 8), QTimeZone::utc());

TEST(OutputDataSheet, ReferenceOrTheReason) {
    struct Row {
        const char* name;
        OutputDataSheet sheet;
        double expected;    // when possible
        const char* reason; // a word the reason must name, when impossible
    };
    const Row rows[] = {
        {"per mW with dBu", {102, SensitivityUnit::perMilliwatt, 32, 4, LevelUnit::dbu}, 121.74, nullptr},
        {"per V with volts",
         {110, SensitivityUnit::perVolt, std::nullopt, 1.0, LevelUnit::voltsRms},
         113.01,
         nullptr},
        {"per mW with volts",
         {97, SensitivityUnit::perMilliwatt, 600, 6.1528, LevelUnit::voltsRms},
         118.01,
         nullptr},
        {"negative impedance", {102, SensitivityUnit::perMilliwatt, -32, 4, LevelUnit::dbu}, 0, "impedance"},
        {"per mW without impedance",
         {102, SensitivityUnit::perMilliwatt, std::nullopt, 4, LevelUnit::dbu},
         0,
         "impedance"},
        {"sensitivity too low", {40, SensitivityUnit::perMilliwatt, 32, 4, LevelUnit::dbu}, 0, "sensitivity"},
        {"sensitivity too high",
         {160, SensitivityUnit::perVolt, std::nullopt, 4, LevelUnit::dbu},
         0,
         "sensitivity"},
        {"not a number", {NAN, SensitivityUnit::perVolt, std::nullopt, 4, LevelUnit::dbu}, 0, "sensitivity"},
        {"zero volts",
         {110, SensitivityUnit::perVolt, std::nullopt, 0, LevelUnit::voltsRms},
         0,
         "maximum output"},
        {"volts out of range",
         {110, SensitivityUnit::perVolt, std::nullopt, 400, LevelUnit::voltsRms},
         0,
         "maximum output"},
        // Each figure plausible, together beyond any ear: sensitive in-ears on a line driver.
        {"reference too high",
         {140, SensitivityUnit::perVolt, std::nullopt, 24, LevelUnit::dbu},
         0,
         "reference"},
    };
    for (const Row& row : rows) {
        const auto result = row.sheet.reference();
        if (row.reason) {
            ASSERT_TRUE(std::holds_alternative<QString>(result)) << row.name;
            EXPECT_TRUE(std::get<QString>(result).contains(QLatin1String(row.reason))) << row.name;
        } else {
            ASSERT_TRUE(std::holds_alternative<double>(result)) << row.name;
            EXPECT_NEAR(std::get<double>(result), row.expected, 0.01) << row.name;
        }
    }
}

TEST(OutputProfile, StoredListKeepsEveryEntryThatReads) {
    const OutputProfile headphones{"alsa_output.usb#analog-output-headphones", "Scarlett 2i2 · Headphones",
                                   121.74, OutputProfile::Basis::dataSheet, kSetAt};
    const OutputProfile speakers{"alsa_output.pci#analog-output-lineout", "Built-in Audio · Line Out", 104.5,
                                 OutputProfile::Basis::measured, kSetAt};
    const QByteArray stored = OutputProfile::encodeList({headphones, speakers});
    EXPECT_EQ(OutputProfile::decodeList(stored), (QList<OutputProfile>{headphones, speakers}));

    // Damage costs only the damaged entry; the first of two entries for one output wins.
    QByteArray damaged = stored;
    damaged.chop(1);
    damaged +=
        R"(,{"key":"a#","displayName":"A","fullScaleDbSpl":900,"basis":"typed","setAt":"2026-03-04T05:06:07Z"})"
        R"(,{"key":"b#","displayName":"B","fullScaleDbSpl":100,"basis":"guessed","setAt":"2026-03-04T05:06:07Z"})"
        R"(,{"key":"c#","fullScaleDbSpl":100,"basis":"typed","setAt":"2026-03-04T05:06:07Z"},7,null)"
        R"(,{"key":"alsa_output.usb#analog-output-headphones","displayName":"X","fullScaleDbSpl":99,)"
        R"("basis":"typed","setAt":"2026-03-04T05:06:07Z"}])";
    EXPECT_EQ(OutputProfile::decodeList(damaged), (QList<OutputProfile>{headphones, speakers}));
    for (const char* text : {"", "[", "{}", "[[[[", "\xff\xfe"}) {
        EXPECT_TRUE(OutputProfile::decodeList(text).isEmpty()) << text;
    }
}

TEST(MeasureFrom, StoredChoiceElseTheFirstLaunchRule) {
    struct Row {
        std::optional<QString> stored;
        bool hasInput;
        MeasureFrom expected;
    };
    const Row rows[] = {
        {std::nullopt, true, MeasureFrom::microphone}, {std::nullopt, false, MeasureFrom::automatic},
        {"output", true, MeasureFrom::output},         {"microphone", false, MeasureFrom::microphone},
        {"automatic", true, MeasureFrom::automatic},   {"Output", true, MeasureFrom::microphone},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(kavro::models::measureFromInForce(row.stored, row.hasInput), row.expected)
            << row.stored.value_or("(none)").toStdString() << " " << row.hasInput;
    }
}

} // namespace
