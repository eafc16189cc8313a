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

TEST_P(ColourReadabilityTest, EveryColouredRoleReadsOnTheWindow) {
    const QPalette& palette = GetParam().palette;
    const QColor window = palette.color(QPalette::Window);
    for (const ColourRole role : {ColourRole::green, ColourRole::yellow, ColourRole::orange, ColourRole::red,
                                  ColourRole::blue, ColourRole::secondary}) {
        EXPECT_GE(contrastRatio(roleColour(role, palette), window), kMinimumTextContrast - 0.05)
            << static_cast<int>(role);
    }
}

TEST_P(ColourReadabilityTest, BandsKeepTheirHueAndStayApart) {
    const QPalette& palette = GetParam().palette;
    std::set<QRgb> seen;
    for (const DoseLevel level : kLevels) {
        const QColor shown = bandColour(level, palette);
        const QColor original = QColor::fromRgb(static_cast<QRgb>(models::colour(level).rgb));
        const int hueDistance = std::abs(shown.hsvHue() - original.hsvHue());
        EXPECT_LE(std::min(hueDistance, 360 - hueDistance), 12) << models::rawValue(level).toStdString();
        seen.insert(shown.rgb());
    }
    EXPECT_EQ(seen.size(), kLevels.size());
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

TEST(ButtonLookTest, FilledButtonsKeepTheirWordsReadableWhateverTheAccent) {
    struct Accent {
        QColor highlight;
        QColor words;
    };
    // Fusion's light blue, a dark theme's blue, a pale accent, and one that already reads.
    for (const Accent& accent :
         {Accent{QColor(0x30, 0x8c, 0xc6), Qt::white}, Accent{QColor(0x2f, 0x6f, 0xd6), Qt::white},
          Accent{QColor(0x9c, 0xd0, 0xff), Qt::white}, Accent{Qt::darkBlue, Qt::white}}) {
        QWidget parent;
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Highlight, accent.highlight);
        palette.setColor(QPalette::HighlightedText, accent.words);
        parent.setPalette(palette);
        for (const auto tint : {ButtonLook::Tint::accent, ButtonLook::Tint::red}) {
            auto* button = new QPushButton(&parent);
            ButtonLook::apply(button, QStringLiteral("Measure Response"), {}, tint);
            const QPalette& own = button->palette();
            EXPECT_GE(contrastRatio(own.color(QPalette::Active, QPalette::Button),
                                    own.color(QPalette::Active, QPalette::ButtonText)),
                      kMinimumTextContrast - 0.05)
                << accent.highlight.name().toStdString() << " tint " << static_cast<int>(tint);
            // A disabled button keeps the desktop's grey, so it does not look pressable.
            EXPECT_EQ(own.color(QPalette::Disabled, QPalette::Button),
                      palette.color(QPalette::Disabled, QPalette::Button));
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
