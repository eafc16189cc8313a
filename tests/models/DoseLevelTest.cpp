// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/DoseLevel.h"

#include <QJsonValue>

#include <gtest/gtest.h>

#include <limits>

namespace kavro::models {
namespace {

TEST(DoseLevel, BoundariesBelongToTheHigherBand) {
    const std::pair<double, DoseLevel> cases[] = {
        {0.0, DoseLevel::safe},     {39.999, DoseLevel::safe},
        {40.0, DoseLevel::caution}, {69.999, DoseLevel::caution},
        {70.0, DoseLevel::warning}, {89.9999, DoseLevel::warning},
        {90.0, DoseLevel::danger},  {250.0, DoseLevel::danger},
        {-5.0, DoseLevel::safe},    {std::numeric_limits<double>::quiet_NaN(), DoseLevel::safe},
    };
    for (const auto& [percent, band] : cases) {
        EXPECT_EQ(doseLevelForPercentage(percent), band) << "percent " << percent;
    }
}

// The stored name, the label and the colour of every band, in this one place.
TEST(DoseLevel, StoredNamesLabelsAndColours) {
    struct Band {
        DoseLevel level;
        const char* stored;
        const char* label;
        const char* colour;
    };
    const Band bands[] = {{DoseLevel::safe, "safe", "Safe", "green"},
                          {DoseLevel::caution, "caution", "Caution", "yellow"},
                          {DoseLevel::warning, "warning", "Warning", "orange"},
                          {DoseLevel::danger, "danger", "Over-exposed", "red"}};
    for (const Band& band : bands) {
        EXPECT_EQ(rawValue(band.level), band.stored);
        EXPECT_EQ(toJson(band.level), QJsonValue(band.stored));
        EXPECT_EQ(doseLevelFromRawValue(band.stored), band.level);
        EXPECT_EQ(doseLevelFromJson(QJsonValue(band.stored)), band.level);
        EXPECT_EQ(label(band.level), band.label);
        EXPECT_EQ(colour(band.level).name, band.colour);
    }
    // Only the exact names read back.
    for (const char* other : {"Caution", "", "danger "}) {
        EXPECT_FALSE(doseLevelFromRawValue(other)) << other;
    }
    EXPECT_FALSE(doseLevelFromJson(QJsonValue(2)));
    EXPECT_FALSE(doseLevelFromJson(QJsonValue()));
}

TEST(DoseLevel, RangeTextsCoverEachBandAsTheBandsAreChosen) {
    // "a–b%" or ">a%": the band holds a and everything up to b, and not b itself.
    for (const DoseLevel level :
         {DoseLevel::safe, DoseLevel::caution, DoseLevel::warning, DoseLevel::danger}) {
        QString text = rangeText(level);
        ASSERT_TRUE(text.endsWith('%')) << text.toStdString();
        text.chop(1);
        const QStringList ends = text.startsWith('>') ? QStringList{text.mid(1)} : text.split(u'–');
        EXPECT_EQ(doseLevelForPercentage(ends.front().toDouble()), level) << text.toStdString();
        if (ends.size() == 2) {
            EXPECT_EQ(doseLevelForPercentage(ends.back().toDouble() - 0.01), level) << text.toStdString();
            EXPECT_NE(doseLevelForPercentage(ends.back().toDouble()), level) << text.toStdString();
        }
    }
}

} // namespace
} // namespace kavro::models
