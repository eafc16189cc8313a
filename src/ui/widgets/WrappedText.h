// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/style/Colours.h"

#include <QLabel>

namespace kavro::ui {

// A paragraph or caption that wraps to the width it is given, in one of the named
// colours, and keeps that colour readable when the desktop's palette changes. A screen
// reader reads its text.
class WrappedText : public QLabel {
    Q_OBJECT
public:
    WrappedText(const QString& text, ColourRole colour, const QFont& font, QWidget* parent = nullptr);
    // A caption of a form: the caption size in the secondary colour, in `parent`'s font.
    static WrappedText* caption(QWidget* parent, const QString& text, const char* objectName = nullptr);

    ColourRole colour() const { return m_colour; }
    void setColour(ColourRole colour);
    // Changes the words only when they differ, so an unchanged text costs no layout.
    void setTextIfChanged(const QString& text);

    // One short line: the height a paragraph needs comes from heightForWidth() at the
    // width it is given, not from the tall column it would make at its narrowest.
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;

private:
    void recolour();

    ColourRole m_colour;
    bool m_recolouring = false;
};

} // namespace kavro::ui
