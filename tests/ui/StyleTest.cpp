// SPDX-License-Identifier: GPL-3.0-or-later
// The band colours and symbols: readable on light and dark palettes, tinted as asked,
// with their cut-outs left transparent.
#include "support/ParamNames.h"
#include "ui/style/BandIcons.h"
#include "ui/style/Colours.h"
#include "ui/style/SymbolIcons.h"
#include "ui/widgets/ButtonLook.h"

#include <QPalette>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

namespace kavro::ui {
namespace {

using models::DoseLevel;

const std::vector<DoseLevel> kLevels{DoseLevel::safe, DoseLevel::caution, DoseLevel::warning,
                                     DoseLevel::danger};

QPalette paletteOn(QColor window, QColor text) {
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    return palette;
}

using kavro::testing::PrintTo;

struct PaletteCase {
    const char* name;
    QPalette palette;
};

class ColourReadabilityTest : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(ColourReadabilityTest, EveryColouredRoleReadsOnTheWindowAndOnItsGroups) {
    const QPalette& palette = GetParam().palette;
    for (const QColor& background : {palette.color(QPalette::Window), groupBackground(palette)}) {
        for (const ColourRole role : {ColourRole::green, ColourRole::yellow, ColourRole::orange,
                                      ColourRole::red, ColourRole::blue, ColourRole::secondary}) {
            EXPECT_GE(contrastRatio(roleColour(role, palette), background), kMinimumTextContrast - 0.05)
                << static_cast<int>(role) << " on " << background.name().toStdString();
        }
    }
}

// How a colour looks to a reader with red-green colour blindness (Machado, Oliveira and
// Fernandes 2009, full severity), applied to linear light.
using Matrix = std::array<std::array<double, 3>, 3>;
const Matrix kNormalVision{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
const Matrix kDeuteranopia{
    {{0.367322, 0.860646, -0.227968}, {0.280085, 0.672501, 0.047413}, {-0.011820, 0.042940, 0.968881}}};
const Matrix kProtanopia{
    {{0.152286, 1.052583, -0.204868}, {0.114503, 0.786281, 0.099216}, {-0.003882, -0.048116, 1.051998}}};

double linear(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

// CIELAB (D65) of `colour` as seen through `vision`.
std::array<double, 3> seenAs(const QColor& colour, const Matrix& vision) {
    const std::array<double, 3> rgb{linear(colour.redF()), linear(colour.greenF()), linear(colour.blueF())};
    std::array<double, 3> seen{};
    for (std::size_t row = 0; row < 3; ++row) {
        for (std::size_t column = 0; column < 3; ++column) {
            seen[row] += vision[row][column] * rgb[column];
        }
        seen[row] = std::clamp(seen[row], 0.0, 1.0);
    }
    const auto f = [](double t) {
        return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16) / 116;
    };
    const double x = f((0.4124564 * seen[0] + 0.3575761 * seen[1] + 0.1804375 * seen[2]) / 0.95047);
    const double y = f(0.2126729 * seen[0] + 0.7151522 * seen[1] + 0.0721750 * seen[2]);
    const double z = f((0.0193339 * seen[0] + 0.1191920 * seen[1] + 0.9503041 * seen[2]) / 1.08883);
    return {116 * y - 16, 500 * (x - y), 200 * (y - z)};
}

TEST_P(ColourReadabilityTest, BandsAreToldApartAtAGlanceAlsoWithRedGreenColourBlindness) {
    const QPalette& palette = GetParam().palette;
    struct Vision {
        const char* name;
        const Matrix& matrix;
        // The smallest colour difference (CIE76) between any two bands.
        double minimumDifference;
    };
    for (const Vision& vision :
         {Vision{"normal", kNormalVision, 25}, Vision{"deuteranopia", kDeuteranopia, 10},
          Vision{"protanopia", kProtanopia, 10}}) {
        for (std::size_t first = 0; first < kLevels.size(); ++first) {
            for (std::size_t second = first + 1; second < kLevels.size(); ++second) {
                const auto a = seenAs(bandColour(kLevels[first], palette), vision.matrix);
                const auto b = seenAs(bandColour(kLevels[second], palette), vision.matrix);
                EXPECT_GE(std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]), vision.minimumDifference)
                    << vision.name << ": " << models::rawValue(kLevels[first]).toStdString() << " and "
                    << models::rawValue(kLevels[second]).toStdString();
            }
        }
    }
    // Each still goes by its colour's name.
    for (const DoseLevel level : kLevels) {
        const int hue = bandColour(level, palette).hsvHue();
        const int named = QColor::fromRgb(static_cast<QRgb>(models::colour(level).rgb)).hsvHue();
        const int distance = std::abs(hue - named);
        EXPECT_LE(std::min(distance, 360 - distance), 30) << models::rawValue(level).toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, ColourReadabilityTest,
    ::testing::Values(PaletteCase{"white", paletteOn(Qt::white, Qt::black)},
                      PaletteCase{"lightGrey", paletteOn(QColor(0xef, 0xef, 0xef), Qt::black)},
                      PaletteCase{"dark", paletteOn(QColor(0x2b, 0x2b, 0x2e), Qt::white)},
                      PaletteCase{"black", paletteOn(Qt::black, QColor(0xdd, 0xdd, 0xdd))}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(ColoursTest, AColourThatAlreadyReadsIsKept) {
    const QColor red = QColor::fromRgb(0xFF3B30);
    EXPECT_EQ(readableOn(red, Qt::black, 4.5), red);
    EXPECT_NE(readableOn(red, Qt::white, 4.5), red);
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
}

// The contrast of a filled button as drawn: its fill beside the words, against the
// pixel of the words that stands out most from it.
double drawnContrast(QAbstractButton* button) {
    button->resize(button->sizeHint());
    const QImage image = button->grab().toImage();
    const QColor fill = image.pixelColor(image.width() - 6, image.height() / 2);
    double best = 1.0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            best = std::max(best, contrastRatio(image.pixelColor(x, y), fill));
        }
    }
    return best;
}

TEST(ButtonLookTest, FilledButtonsAreDrawnWithReadableWordsWhateverTheAccent) {
    // Fusion's light blue, a dark theme's blue, a pale accent, and one that already reads.
    for (const QColor& accent : {QColor(0x30, 0x8c, 0xc6), QColor(0x2f, 0x6f, 0xd6), QColor(0x9c, 0xd0, 0xff),
                                 QColor(Qt::darkBlue)}) {
        QWidget parent;
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Highlight, accent);
        palette.setColor(QPalette::HighlightedText, Qt::white);
        parent.setPalette(palette);
        for (const auto tint : {ButtonLook::Tint::accent, ButtonLook::Tint::red}) {
            auto* button = new QPushButton(&parent);
            ButtonLook::apply(button, QStringLiteral("Measure Response"), QStringLiteral("mic.badge.plus"),
                              tint);
            // The style draws the fill it is given, not a lighter gradient of it.
            EXPECT_GE(drawnContrast(button), kMinimumTextContrast - 0.05)
                << accent.name().toStdString() << " tint " << static_cast<int>(tint);
        }
    }
}

TEST(BandIconsTest, EachBandHasItsOwnSymbolAndTheProgramCarriesIt) {
    std::set<QString> names;
    for (const DoseLevel level : kLevels) {
        const QString name = BandIcons::symbolName(level);
        EXPECT_TRUE(SymbolIcons::exists(name)) << name.toStdString();
        names.insert(name);
    }
    EXPECT_EQ(names.size(), kLevels.size());
}

// The drawn pixels of an image and whether all of them carry the colour. Pixmaps are
// stored premultiplied, which blurs the colour of faint edge pixels: `solidOnly` then
// looks at the colour of fully opaque pixels alone.
struct Ink {
    int drawn = 0;
    bool allInColour = true;
};

Ink inkOf(const QImage& image, QColor colour, bool solidOnly = false) {
    const QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    Ink ink;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            const QRgb pixel = plain.pixel(x, y);
            if (qAlpha(pixel) == 0) {
                continue;
            }
            ++ink.drawn;
            const bool judged = !solidOnly || qAlpha(pixel) == 255;
            if (judged && (pixel & 0xFFFFFF) != (colour.rgb() & 0xFFFFFF)) {
                ink.allInColour = false;
            }
        }
    }
    return ink;
}

TEST(SymbolIconsTest, EverySymbolDrawsInTheAskedColourAndLeavesRoomAround) {
    const QStringList names = SymbolIcons::symbolNames();
    ASSERT_GE(names.size(), 18);
    const QColor colour = QColor::fromRgb(0x12, 0x80, 0xE0);
    for (const QString& name : names) {
        const QImage image = SymbolIcons::image(name, colour, 48);
        ASSERT_EQ(image.size(), QSize(48, 48));
        const Ink ink = inkOf(image, colour);
        // Something is drawn, and not a filled square.
        EXPECT_GT(ink.drawn, 48 * 48 / 20) << name.toStdString();
        EXPECT_LT(ink.drawn, 48 * 48 * 3 / 4) << name.toStdString();
        EXPECT_TRUE(ink.allInColour) << name.toStdString();
    }
    EXPECT_EQ(inkOf(SymbolIcons::image(QStringLiteral("no.such.symbol"), colour, 16), colour).drawn, 0);
}

TEST(SymbolIconsTest, CutOutsAreTransparent) {
    // The exclamation mark in the warning triangle is cut out of the triangle.
    const QImage triangle = SymbolIcons::image(QStringLiteral("exclamationmark.triangle.fill"), Qt::red, 96);
    EXPECT_EQ(qAlpha(triangle.pixel(48, 45)), 0);   // the mark's stroke
    EXPECT_EQ(qAlpha(triangle.pixel(40, 60)), 255); // the triangle beside it
    // So is the gear's hole.
    const QImage gear = SymbolIcons::image(QStringLiteral("gear"), Qt::red, 96);
    EXPECT_EQ(qAlpha(gear.pixel(48, 48)), 0);
    EXPECT_EQ(qAlpha(gear.pixel(48, 28)), 255);
}

TEST(SymbolIconsTest, IconsDrawSharplyAtTheSizeAskedAndFadeWhenDisabled) {
    const QIcon icon = BandIcons::icon(DoseLevel::danger);
    const QColor red = QColor::fromRgb(static_cast<QRgb>(models::colour(DoseLevel::danger).rgb));
    for (const int side : {16, 22, 64}) {
        const QImage image = icon.pixmap(side, side).toImage();
        EXPECT_EQ(image.size(), QSize(side, side));
        EXPECT_TRUE(inkOf(image, red, true).allInColour);
    }
    const QImage normal = icon.pixmap(32, 32).toImage();
    const QImage disabled = icon.pixmap(QSize(32, 32), QIcon::Disabled).toImage();
    EXPECT_LT(qAlpha(disabled.pixel(8, 26)), qAlpha(normal.pixel(8, 26)));
}

} // namespace
} // namespace kavro::ui
