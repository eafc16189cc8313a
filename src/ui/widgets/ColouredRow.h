// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/style/Colours.h"

#include <QWidget>

namespace kavro::ui {

// A small dot in a colour, then a short label above the text that explains it: the
// rows of thresholds and percentiles. The dot's colour is named for screen readers.
class ColouredRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDotSize = 8;

    ColouredRow(ColourRole colour, const QString& label, const QString& text, QWidget* parent = nullptr);

    // "Green", "Orange", ... as a screen reader says the dot.
    static QString colourName(ColourRole colour);
};

} // namespace kavro::ui
