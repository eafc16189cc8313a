// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/CorrectionDesign.h"
#include "support/ParamNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace correction = kavro::dsp::correction;
using kavro::dsp::RealFft;

namespace {

constexpr int kFrames = 200;

// Summed power spectra of a measurement whose response, relative to pink noise, is
// the given gain in dB at each frequency (the microphone hears pink noise shaped by it).
std::vector<float> measuredPower(double sampleRate, const std::function<double(double)>& responseDB,
                                 double levelDB = 0.0) {
    std::vector<float> power(correction::kBinCount);
    for (std::size_t k = 1; k < power.size(); ++k) {
        const double frequency = static_cast<double>(k) * sampleRate / 2048.0;
        const double amplitude =
            std::pow(10.0, (responseDB(frequency) + levelDB) / 20.0) / std::sqrt(double(k));
        power[k] = static_cast<float>(amplitude * amplitude * kFrames);
    }
    power[0] = 123.0f; // meaningless in the packed format; must not matter
    return power;
}

correction::Design measure(double sampleRate, const std::function<double(double)>& responseDB,
                           double levelDB = 0.0) {
    const RealFft fft(2048);
    auto design = correction::designFromMeasurement(measuredPower(sampleRate, responseDB, levelDB), kFrames,
                                                    sampleRate, fft);
    EXPECT_TRUE(design.has_value());
    return design ? *design : correction::Design{};
}

double gainDBAt(const correction::Design& design, double frequency) {
    for (const auto& point : design.curve) {
        if (std::abs(point.frequency - frequency) / frequency < 0.045) {
            return point.gainDB;
        }
    }
    ADD_FAILURE() << "no curve point near " << frequency << " Hz";
    return NAN;
}

void expectFlat(const correction::Design& design) {
    for (const float gain : design.gains) {
        EXPECT_NEAR(gain, 1.0f, 1e-5f);
    }
    for (const auto& point : design.curve) {
        EXPECT_NEAR(point.gainDB, 0.0f, 1e-4f) << point.frequency;
    }
    ASSERT_EQ(design.taps.size(), 128u);
    for (std::size_t j = 0; j < design.taps.size(); ++j) {
        EXPECT_NEAR(design.taps[j], j == 64 ? 1.0f : 0.0f, 1e-5f) << "tap " << j;
    }
}

} // namespace

TEST(CorrectionDesign, FlatResponseGivesUnitImpulseWhateverTheLevel) {
    const auto flat = measure(48000, [](double) { return 0.0; });
    expectFlat(flat);
    EXPECT_EQ(flat.curve.size(), 64u);
    // 20 dB too low everywhere is only a level, which the normalisation removes.
    expectFlat(measure(
        48000, [](double) { return 0.0; }, -20.0));
}

TEST(CorrectionDesign, CurveEndpointsAndSymmetricTaps) {
    const auto design = measure(48000, [](double f) { return 3.0 * std::sin(std::log(f)); });
    EXPECT_NEAR(design.curve.front().frequency, 80.0f, 1e-3f);
    EXPECT_NEAR(design.curve.back().frequency, 16000.0f, 1e-2f);
    for (std::size_t m = 1; m < 64; ++m) {
        EXPECT_EQ(design.taps[64 + m], design.taps[64 - m]);
    }
    EXPECT_EQ(design.taps[0], 0.0f); // the window's zero
    double sum = 0;
    for (const float tap : design.taps) {
        sum += tap;
    }
    EXPECT_NEAR(sum, 1.0, 1e-5);
}

// A microphone 20 dB loud below 8 kHz and 20 dB quiet above needs more than ±9 dB:
// the curve sits exactly on the limits.
TEST(CorrectionDesign, DeviationBeyondNineDecibelsIsLimited) {
    const auto design = measure(48000, [](double f) { return f < 8000 ? 20.0 : -20.0; });
    EXPECT_NEAR(gainDBAt(design, 500), -9.0, 1e-4);
    EXPECT_NEAR(gainDBAt(design, 5000), -9.0, 1e-4);
    EXPECT_NEAR(gainDBAt(design, 11000), 9.0, 1e-4);
    EXPECT_NEAR(gainDBAt(design, 16000), 9.0, 1e-4);
    for (const auto& point : design.curve) {
        EXPECT_LE(std::abs(point.gainDB), 9.0f + 1e-4f);
    }
}

// Room modes are left alone: nothing below 80 Hz, half the (limited) correction at
// 240 Hz. 49152 Hz puts 240 Hz exactly on bin 10.
TEST(CorrectionDesign, LowFrequencyBlend) {
    const double rate = 49152.0;
    auto gains = std::vector<float>(correction::kBinCount, 2.0f);
    correction::limitAndTaper(gains, rate);
    for (std::size_t k = 0; static_cast<double>(k) * rate / 2048.0 < 80.0; ++k) {
        EXPECT_EQ(gains[k], 1.0f) << k;
    }
    EXPECT_NEAR(gains[10], 1.5f, 1e-6f);
    EXPECT_EQ(gains[17], 2.0f); // 408 Hz: full correction
}

struct TaperCase {
    double rate;
    std::size_t lastFullBin;  // last bin with the full correction
    std::size_t firstUnitBin; // first bin forced to 1 (kBinCount: none)
};

void PrintTo(const TaperCase& taper, std::ostream* os) {
    *os << taper.rate << " Hz";
}

class CorrectionTaper : public ::testing::TestWithParam<TaperCase> {};

TEST_P(CorrectionTaper, HighTaperEndsHalfAnOctaveAbove16kHzOrAtNyquist) {
    const auto [rate, lastFullBin, firstUnitBin] = GetParam();
    std::vector<float> gains(correction::kBinCount, 2.0f);
    correction::limitAndTaper(gains, rate);
    EXPECT_EQ(gains[lastFullBin], 2.0f);
    for (std::size_t k = lastFullBin + 1; k < correction::kBinCount; ++k) {
        if (k >= firstUnitBin) {
            EXPECT_EQ(gains[k], 1.0f) << k;
        } else {
            EXPECT_LT(gains[k], gains[k - 1]) << k;
            EXPECT_GT(gains[k], 1.0f) << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, CorrectionTaper,
                         ::testing::Values(TaperCase{48000, 682, 965}, TaperCase{44100, 743, 1024},
                                           TaperCase{96000, 341, 482}, TaperCase{32000, 1023, 1024}),
                         kavro::testing::PrintedName());

TEST(CorrectionDesign, LowRatesSkipCurvePointsBeyondTheSpectrum) {
    const auto at32 = measure(32000, [](double) { return 0.0; });
    EXPECT_EQ(at32.curve.size(), 63u); // 16 kHz would be bin 1024
    EXPECT_LT(at32.curve.back().frequency, 16000.0f);
    const auto at16 = measure(16000, [](double) { return 0.0; });
    EXPECT_LT(at16.curve.back().frequency, 8000.0f);
    EXPECT_GT(at16.curve.size(), 40u);
    expectFlat(at16);
}

class CorrectionNormalisation : public ::testing::TestWithParam<double> {};

// After normalisation the geometric mean over the bins of 400 Hz … 16 kHz (ending at
// bin 1023 at low rates) is exactly 1, whatever the response.
TEST_P(CorrectionNormalisation, GeometricMeanOverBandIsOne) {
    const double rate = GetParam();
    std::mt19937 generator(5);
    std::uniform_real_distribution<float> distribution(0.01f, 100.0f);
    std::vector<float> power(correction::kBinCount);
    for (float& p : power) {
        p = distribution(generator);
    }
    const auto raw = correction::rawCorrection(power, 7, rate);
    const std::size_t low = std::max<std::size_t>(std::size_t(400 * 2048 / rate), 1);
    const std::size_t high = std::min<std::size_t>(std::size_t(16000 * 2048 / rate), 1023);
    double logSum = 0;
    for (std::size_t k = low; k <= high; ++k) {
        logSum += std::log(double(raw[k]));
    }
    EXPECT_NEAR(logSum / double(high - low + 1), 0.0, 1e-5);
}

INSTANTIATE_TEST_SUITE_P(Rates, CorrectionNormalisation,
                         ::testing::Values(16000.0, 32000.0, 44100.0, 48000.0, 96000.0),
                         kavro::testing::PrintedName());

TEST(CorrectionDesign, SilenceStaysFinite) {
    const RealFft fft(2048);
    const auto design = correction::designFromMeasurement(std::vector<float>(1024, 0.0f), 200, 48000, fft);
    ASSERT_TRUE(design);
    for (const float tap : design->taps) {
        EXPECT_TRUE(std::isfinite(tap));
    }
}

// A calibration file's deviation is inverted and interpolated on a log-frequency axis,
// held flat beyond its ends. 40960 Hz puts 1, 2 and 4 kHz on bins 50, 100 and 200.
TEST(CorrectionDesign, InverseOfDeviationInterpolatesOnLogFrequency) {
    const std::vector<correction::DeviationPoint> deviation{{1000, 0.0}, {4000, 6.0}};
    const auto gains = correction::inverseOfDeviation(deviation, 40960);
    const auto dB = [&](std::size_t k) { return 20.0 * std::log10(gains[k]); };
    EXPECT_NEAR(dB(10), 0.0, 1e-5);
    EXPECT_NEAR(dB(50), 0.0, 1e-5);
    EXPECT_NEAR(dB(100), -3.0, 1e-5);
    EXPECT_NEAR(dB(200), -6.0, 1e-5);
    EXPECT_NEAR(dB(900), -6.0, 1e-5);
}
