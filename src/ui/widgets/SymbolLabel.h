// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/style/Colours.h"

#include <QString>
#include <QWidget>

#include <optional>

namespace kavro::ui {

// A line of text with an optional symbol before it, painted in one of the named
// colours. Changing the text repaints the label alone; only a text of another width
// asks the layout for room, so a value that changes ten times a second does not
// lay out the window around it. Its accessible name is its text.
class SymbolLabel : public QWidget {
    Q_OBJECT
public:
    explicit SymbolLabel(QWidget* parent = nullptr);
    SymbolLabel(const QString& text, ColourRole colour, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    const QString& symbol() const { return m_symbol; }
    void setSymbol(const QString& symbol);
    ColourRole colour() const { return m_colour; }
    void setColour(ColourRole colour);
    // The symbol in another colour than the text (a red dot before plain text).
    void setSymbolColour(std::optional<ColourRole> colour);
    // 0: as tall as a line of the font.
    void setSymbolSize(int pixels);
    void setAlignment(Qt::Alignment alignment);
    // A text that may be long (a workstation's name) is shortened with "…" rather
    // than widening the window.
    void setElided(bool elided);
    // For a symbol without text: what a screen reader says for it.
    void setSpokenName(const QString& name);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Draws the symbol and text into `area`; subclasses wrap it in effects.
    void paintContents(QPainter& painter, const QRect& area) const;

private:
    int symbolSide() const;
    // The text's width plus a pixel, measured once per text and font: shaping a text
    // costs more than drawing it, and the values change ten times a second.
    int textAdvance() const;
    QSize contentSize() const;
    void contentChanged(const QSize& previousSize);
    void updateAccessibleName();

    QString m_text;
    QString m_symbol;
    QString m_spokenName;
    ColourRole m_colour = ColourRole::primary;
    std::optional<ColourRole> m_symbolColour;
    int m_symbolSize = 0;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool m_elided = false;
    mutable std::optional<int> m_textAdvance;
};

} // namespace kavro::ui
