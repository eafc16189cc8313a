#include "models/DoseLevel.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <limits>

namespace {

using kavro::models::DoseLevel;

struct BandCase {
    double percent;
    DoseLevel band;
};

class DoseLevelBand : public ::testing::TestWithParam<BandCase> {};

TEST_P(DoseLevelBand, BoundariesBelongToTheHigherBand) {
    EXPECT_EQ(kavro::models::doseLevelForPercentage(GetParam().percent), GetParam().band)
        << "percent " << GetParam().percent;
}

INSTANTIATE_TEST_SUITE_P(Thresholds, DoseLevelBand,
                         ::testing::Values(BandCase{0.0, DoseLevel::safe}, BandCase{39.999, DoseLevel::safe},
                                           BandCase{40.0, DoseLevel::caution}, BandCase{69.999, DoseLevel::caution},
                                           BandCase{70.0, DoseLevel::warning}, BandCase{89.9999, DoseLevel::warning},
                                           BandCase{90.0, DoseLevel::danger}, BandCase{250.0, DoseLevel::danger},
                                           BandCase{-5.0, DoseLevel::safe},
                                           BandCase{std::numeric_limits<double>::quiet_NaN(), DoseLevel::safe}));

TEST(DoseLevel, RawValuesAndJsonRoundTripOnlyForTheFourExactStrings) {
    for (const DoseLevel level : {DoseLevel::safe, DoseLevel::caution, DoseLevel::warning, DoseLevel::danger}) {
        EXPECT_EQ(kavro::models::doseLevelFromRawValue(kavro::models::rawValue(level)), level);
        EXPECT_EQ(kavro::models::doseLevelFromJson(kavro::models::toJson(level)), level);
    }
    const QJsonArray encoded{kavro::models::toJson(DoseLevel::caution)};
    EXPECT_EQ(QJsonDocument(encoded).toJson(QJsonDocument::Compact), QByteArray(R"(["caution"])"));
    EXPECT_EQ(kavro::models::rawValue(DoseLevel::danger), "danger");

    EXPECT_FALSE(kavro::models::doseLevelFromRawValue("Caution"));
    EXPECT_FALSE(kavro::models::doseLevelFromRawValue(""));
    EXPECT_FALSE(kavro::models::doseLevelFromRawValue("danger "));
    EXPECT_FALSE(kavro::models::doseLevelFromJson(QJsonValue(2)));
    EXPECT_FALSE(kavro::models::doseLevelFromJson(QJsonValue()));
}

TEST(DoseLevel, LabelsAndColoursOfEveryBand) {
    EXPECT_EQ(kavro::models::label(DoseLevel::safe), "Safe");
    EXPECT_EQ(kavro::models::label(DoseLevel::caution), "Caution");
    EXPECT_EQ(kavro::models::label(DoseLevel::warning), "Warning");
    EXPECT_EQ(kavro::models::label(DoseLevel::danger), "Over-exposed");
    EXPECT_EQ(kavro::models::colour(DoseLevel::safe).name, "green");
    EXPECT_EQ(kavro::models::colour(DoseLevel::caution).name, "yellow");
    EXPECT_EQ(kavro::models::colour(DoseLevel::warning).name, "orange");
    EXPECT_EQ(kavro::models::colour(DoseLevel::danger).name, "red");
}

} // namespace
