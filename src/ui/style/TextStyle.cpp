// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/style/TextStyle.h"

#include <QFontDatabase>

namespace kavro::ui {

namespace {

constexpr double kFallbackPointSize = 10.0;

double factorOf(TextStyle style) {
    switch (style) {
    case TextStyle::body:
        return 1.0;
    case TextStyle::headline:
        return 1.08;
    case TextStyle::callout:
        return 0.96;
    case TextStyle::subheadline:
        return 0.92;
    case TextStyle::small:
    case TextStyle::caption:
        return 0.86;
    case TextStyle::smallestCaption:
        return 0.78;
    case TextStyle::large:
        return 1.9;
    }
    return 1.0;
}

} // namespace

QFont styledFont(const QFont& base, TextStyle style, QFont::Weight weight) {
    QFont font = base;
    const double size = base.pointSizeF() > 0 ? base.pointSizeF() : kFallbackPointSize;
    if (style == TextStyle::headline || style == TextStyle::large) {
        weight = QFont::Bold;
    }
    font.setPointSizeF(size * factorOf(style));
    font.setWeight(weight);
    return font;
}

QFont fixedWidthFont(const QFont& base, TextStyle style, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(styledFont(base, style).pointSizeF());
    font.setWeight(weight);
    return font;
}

} // namespace kavro::ui
