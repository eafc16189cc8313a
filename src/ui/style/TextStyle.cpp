#include "ui/style/TextStyle.h"

namespace kavro::ui {

QFont styledFont(const QFont& base, TextStyle style, QFont::Weight weight) {
    QFont font = base;
    const double size = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    double factor = 1.0;
    switch (style) {
    case TextStyle::body:
        break;
    case TextStyle::headline:
        factor = 1.08;
        weight = QFont::Bold;
        break;
    case TextStyle::small:
    case TextStyle::caption:
        factor = 0.86;
        break;
    case TextStyle::smallestCaption:
        factor = 0.78;
        break;
    case TextStyle::large:
        factor = 1.9;
        weight = QFont::Bold;
        break;
    case TextStyle::subheadline:
        factor = 0.92;
        break;
    }
    font.setPointSizeF(size * factor);
    font.setWeight(weight);
    return font;
}

} // namespace kavro::ui
