// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/style/Colours.h"

#include <cmath>

namespace kavro::ui {

namespace {

// The blue of informational rows.
constexpr QRgb kBlue = 0x007AFF;

// Words in a band's colour. The bands' own colours (kept for bars and dots) fade into
// look-alike browns once darkened for a light window, and green and red meet for a
// reader with red-green colour blindness. These inks were picked, one set for light and
// one for dark windows, so that the four bands stay apart by lightness and by the
// blue-yellow axis that such a reader still sees, while each keeps its hue's name.
struct BandInk {
    QRgb onLight;
    QRgb onDark;
};
constexpr BandInk kGreenInk{0x007240, 0x70EDC0};
constexpr BandInk kYellowInk{0x756400, 0xFFE83A};
constexpr BandInk kOrangeInk{0x7A3600, 0xF29100};
constexpr BandInk kRedInk{0xC8004A, 0xFF7F8C};
// How much of the text colour the secondary and tertiary roles keep over the window.
constexpr double kSecondaryStrength = 0.68;
constexpr double kTertiaryStrength = 0.42;
// Below this luminance black text would contrast less than white text does.
constexpr double kDarkBackgroundLuminance = 0.179;
constexpr int kAdjustSteps = 50;
// How much of the text colour a group's background takes on a dark window.
constexpr double kGroupShade = 0.07;
// A neutral grey between the light and dark window colours of the common desktops.
constexpr QRgb kGrey = 0x8E8E93;
constexpr double kHalfOpacity = 0.5;

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(static_cast<float>(colour.alphaF() * opacity));
    return colour;
}

double linearChannel(double value) {
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return 0.2126 * linearChannel(rgb.redF()) + 0.7152 * linearChannel(rgb.greenF()) +
           0.0722 * linearChannel(rgb.blueF());
}

QColor mix(const QColor& from, const QColor& to, double amountOfTo) {
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    const auto channel = [amountOfTo](double x, double y) { return x + (y - x) * amountOfTo; };
    return QColor::fromRgbF(static_cast<float>(channel(a.redF(), b.redF())),
                            static_cast<float>(channel(a.greenF(), b.greenF())),
                            static_cast<float>(channel(a.blueF(), b.blueF())), a.alphaF());
}

QColor fromRgb(std::uint32_t rgb) {
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

} // namespace

ColourRole bandRole(models::DoseLevel level) {
    switch (level) {
    case models::DoseLevel::safe:
        return ColourRole::green;
    case models::DoseLevel::caution:
        return ColourRole::yellow;
    case models::DoseLevel::warning:
        return ColourRole::orange;
    case models::DoseLevel::danger:
        return ColourRole::red;
    }
    return ColourRole::green;
}

QColor roleColour(ColourRole role, const QPalette& palette) {
    const QColor background = palette.color(QPalette::Window);
    const QColor text = palette.color(QPalette::WindowText);
    // Coloured words stand on the window and on the groups of rows drawn over it; on a
    // dark window a group is the lighter of the two.
    const QColor group = groupBackground(palette);
    const auto readable = [&background, &group](const QColor& colour) {
        return readableOn(readableOn(colour, background, kMinimumTextContrast), group, kMinimumTextContrast);
    };
    const bool lightWindow = relativeLuminance(background) > kDarkBackgroundLuminance;
    const auto ink = [&](const BandInk& band) {
        return readable(QColor::fromRgb(lightWindow ? band.onLight : band.onDark));
    };
    switch (role) {
    case ColourRole::primary:
        return text;
    case ColourRole::secondary:
        return mix(background, text, kSecondaryStrength);
    case ColourRole::tertiary:
        return mix(background, text, kTertiaryStrength);
    case ColourRole::green:
        return ink(kGreenInk);
    case ColourRole::yellow:
        return ink(kYellowInk);
    case ColourRole::orange:
        return ink(kOrangeInk);
    case ColourRole::red:
        return ink(kRedInk);
    case ColourRole::blue:
        return readable(QColor::fromRgb(kBlue));
    }
    return text;
}

QColor bandColour(models::DoseLevel level, const QPalette& palette) {
    return roleColour(bandRole(level), palette);
}

QColor groupBackground(const QPalette& palette) {
    const QColor window = palette.color(QPalette::Window);
    if (relativeLuminance(window) > kDarkBackgroundLuminance) {
        return palette.color(QPalette::Base);
    }
    return mix(window, palette.color(QPalette::WindowText), kGroupShade);
}

QColor filledButtonColour(ColourRole role) {
    // The same fill on every desktop: the role as it reads on white.
    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::WindowText, Qt::black);
    return readableOn(roleColour(role, light), Qt::white, kMinimumTextContrast);
}

QColor historyColour(HistoryColour colour, const QPalette& palette, ColourUse use) {
    const auto band = [&](models::DoseLevel level) {
        return use == ColourUse::shape ? fromRgb(models::colour(level).rgb) : bandColour(level, palette);
    };
    switch (colour) {
    case HistoryColour::clear:
        return Qt::transparent;
    case HistoryColour::green:
        return band(models::DoseLevel::safe);
    case HistoryColour::yellow:
        return band(models::DoseLevel::caution);
    case HistoryColour::orange:
        return band(models::DoseLevel::warning);
    case HistoryColour::red:
        return band(models::DoseLevel::danger);
    case HistoryColour::secondary:
        return roleColour(ColourRole::secondary, palette);
    case HistoryColour::secondaryHalfOpacity:
        return withOpacity(roleColour(ColourRole::secondary, palette), kHalfOpacity);
    }
    return roleColour(ColourRole::secondary, palette);
}

QColor accentColour(const QPalette& palette, double opacity) {
    return withOpacity(palette.color(QPalette::Highlight), opacity);
}

QColor greyFill(double opacity) {
    return withOpacity(QColor::fromRgb(kGrey), opacity);
}

double contrastRatio(const QColor& first, const QColor& second) {
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readableOn(const QColor& colour, const QColor& background, double minimumContrast) {
    if (contrastRatio(colour, background) >= minimumContrast) {
        return colour;
    }
    // Mixing towards black (or white) keeps the hue, so yellow stays recognisably
    // yellow-brown rather than turning into some other colour.
    const QColor target =
        relativeLuminance(background) > kDarkBackgroundLuminance ? QColor(Qt::black) : QColor(Qt::white);
    for (int step = 1; step <= kAdjustSteps; ++step) {
        const QColor candidate = mix(colour, target, double(step) / kAdjustSteps);
        if (contrastRatio(candidate, background) >= minimumContrast) {
            return candidate;
        }
    }
    return target;
}

} // namespace kavro::ui
