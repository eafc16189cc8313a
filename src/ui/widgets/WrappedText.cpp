// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/WrappedText.h"

#include "ui/style/TextStyle.h"

#include <QApplication>
#include <QEvent>

namespace kavro::ui {

WrappedText* WrappedText::caption(QWidget* parent, const QString& text, const char* objectName) {
    auto* created =
        new WrappedText(text, ColourRole::secondary, styledFont(parent->font(), TextStyle::caption), parent);
    if (objectName) {
        created->setObjectName(QLatin1String(objectName));
    }
    return created;
}

WrappedText::WrappedText(const QString& text, ColourRole colour, const QFont& font, QWidget* parent)
    : QLabel(text, parent), m_colour(colour) {
    setTextFormat(Qt::PlainText);
    setFont(font);
    // As tall as its lines at the width it gets (the layouts ask heightForWidth()).
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setWordWrap(true);
    recolour();
}

void WrappedText::setColour(ColourRole colour) {
    if (colour != m_colour) {
        m_colour = colour;
        recolour();
    }
}

void WrappedText::setTextIfChanged(const QString& text) {
    if (text != this->text()) {
        setText(text);
    }
}

QSize WrappedText::minimumSizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const QMargins margins = contentsMargins();
    return {metrics.horizontalAdvance(QStringLiteral("MMMMMM")) + margins.left() + margins.right(),
            metrics.height() + margins.top() + margins.bottom()};
}

void WrappedText::changeEvent(QEvent* event) {
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange) && !m_recolouring) {
        recolour();
    }
    QLabel::changeEvent(event);
}

void WrappedText::recolour() {
    // The colour is worked out on the surroundings' palette: this label's own carries
    // the colour it was given last time.
    const QPalette surroundings = parentWidget() ? parentWidget()->palette() : QApplication::palette();
    const QColor colour = roleColour(m_colour, surroundings);
    if (palette().color(QPalette::WindowText) == colour && testAttribute(Qt::WA_SetPalette)) {
        return;
    }
    m_recolouring = true;
    QPalette own = palette();
    own.setColor(QPalette::WindowText, colour);
    own.setColor(QPalette::Text, colour);
    setPalette(own);
    m_recolouring = false;
}

} // namespace kavro::ui
