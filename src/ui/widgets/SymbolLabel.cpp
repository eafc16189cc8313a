// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/SymbolLabel.h"

#include "ui/style/SymbolIcons.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QEvent>
#include <QPainter>
#include <QStyle>

namespace kavro::ui {

namespace {

// Room between a symbol and its text, relative to the font's height.
constexpr double kSymbolSpacing = 0.3;

} // namespace

SymbolLabel::SymbolLabel(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

SymbolLabel::SymbolLabel(const QString& text, ColourRole colour, QWidget* parent) : SymbolLabel(parent) {
    m_colour = colour;
    setText(text);
}

void SymbolLabel::setText(const QString& text) {
    if (text == m_text) {
        return;
    }
    const QSize before = contentSize();
    m_text = text;
    m_textAdvance.reset();
    updateAccessibleName();
    contentChanged(before);
}

void SymbolLabel::setSymbol(const QString& symbol) {
    if (symbol == m_symbol) {
        return;
    }
    const QSize before = contentSize();
    m_symbol = symbol;
    contentChanged(before);
}

void SymbolLabel::setColour(ColourRole colour) {
    if (colour == m_colour) {
        return;
    }
    m_colour = colour;
    update();
}

void SymbolLabel::setSymbolColour(std::optional<ColourRole> colour) {
    m_symbolColour = colour;
    update();
}

void SymbolLabel::setSymbolSize(int pixels) {
    const QSize before = contentSize();
    m_symbolSize = pixels;
    contentChanged(before);
}

void SymbolLabel::setAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

void SymbolLabel::setElided(bool elided) {
    m_elided = elided;
    setSizePolicy(elided ? QSizePolicy::Ignored : QSizePolicy::Preferred, QSizePolicy::Fixed);
    updateGeometry();
}

void SymbolLabel::setSpokenName(const QString& name) {
    m_spokenName = name;
    updateAccessibleName();
}

void SymbolLabel::updateAccessibleName() {
    const QString name = m_spokenName.isEmpty() ? m_text : m_spokenName;
    if (accessibleName() != name) {
        setAccessibleName(name);
    }
}

int SymbolLabel::symbolSide() const {
    if (m_symbol.isEmpty()) {
        return 0;
    }
    return m_symbolSize > 0 ? m_symbolSize : fontMetrics().height();
}

int SymbolLabel::textAdvance() const {
    if (!m_textAdvance) {
        m_textAdvance = m_text.isEmpty() ? 0 : fontMetrics().horizontalAdvance(m_text) + 1;
    }
    return *m_textAdvance;
}

QSize SymbolLabel::contentSize() const {
    const QFontMetrics metrics = fontMetrics();
    const int side = symbolSide();
    int width = textAdvance();
    if (side > 0) {
        width += side + (m_text.isEmpty() ? 0 : static_cast<int>(metrics.height() * kSymbolSpacing));
    }
    return {width, std::max(metrics.height(), side)};
}

void SymbolLabel::contentChanged(const QSize& previousSize) {
    if (contentSize() != previousSize) {
        updateGeometry();
    }
    update();
}

QSize SymbolLabel::sizeHint() const {
    return contentSize();
}

QSize SymbolLabel::minimumSizeHint() const {
    if (!m_elided) {
        return contentSize();
    }
    const QFontMetrics metrics = fontMetrics();
    const int side = symbolSide();
    return {side + metrics.horizontalAdvance(QStringLiteral("M…")), contentSize().height()};
}

void SymbolLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        m_textAdvance.reset();
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

void SymbolLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintContents(painter, rect());
}

void SymbolLabel::paintContents(QPainter& painter, const QRect& area) const {
    const QFontMetrics metrics = fontMetrics();
    const QColor textColour = roleColour(m_colour, palette());
    const int side = symbolSide();
    const int spacing =
        m_text.isEmpty() || side == 0 ? 0 : static_cast<int>(metrics.height() * kSymbolSpacing);
    const int available = std::max(0, area.width() - side - spacing);
    const QString shown = m_elided ? metrics.elidedText(m_text, Qt::ElideRight, available) : m_text;
    const int shownAdvance =
        shown.isEmpty() ? 0 : (m_elided ? metrics.horizontalAdvance(shown) + 1 : textAdvance());
    const int textWidth = std::min(available, shownAdvance);
    const int contentWidth = side + spacing + textWidth;

    int x = area.left();
    if (m_alignment & Qt::AlignRight) {
        x = area.right() + 1 - contentWidth;
    } else if (m_alignment & Qt::AlignHCenter) {
        x = area.left() + (area.width() - contentWidth) / 2;
    }
    if (side > 0) {
        const QColor symbolColour = roleColour(m_symbolColour.value_or(m_colour), palette());
        const QRect symbolArea(x, area.top() + (area.height() - side) / 2, side, side);
        painter.drawPixmap(symbolArea, SymbolIcons::pixmap(m_symbol, symbolColour, side,
                                                           painter.device()->devicePixelRatioF()));
        x += side + spacing;
    }
    if (!shown.isEmpty()) {
        painter.setPen(textColour);
        painter.setFont(font());
        painter.drawText(QRect(x, area.top(), textWidth, area.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         shown);
    }
}

} // namespace kavro::ui
