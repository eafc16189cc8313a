// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/ColouredRow.h"

#include "ui/style/TextStyle.h"
#include "ui/widgets/SymbolLabel.h"
#include "ui/widgets/WrappedText.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kavro::ui {

ColouredRow::ColouredRow(ColourRole colour, const QString& label, const QString& text, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    auto* dot = new SymbolLabel(this);
    dot->setSymbol(QStringLiteral("circle.fill"));
    dot->setColour(colour);
    dot->setSymbolSize(kDotSize);
    dot->setSpokenName(colourName(colour));
    layout->addWidget(dot, 0, Qt::AlignTop);

    auto* words = new QVBoxLayout;
    words->setSpacing(1);
    words->addWidget(new WrappedText(label, ColourRole::primary,
                                     styledFont(font(), TextStyle::caption, QFont::DemiBold), this));
    words->addWidget(
        new WrappedText(text, ColourRole::secondary, styledFont(font(), TextStyle::smallestCaption), this));
    layout->addLayout(words, 1);
}

QString ColouredRow::colourName(ColourRole colour) {
    switch (colour) {
    case ColourRole::green:
        return QStringLiteral("Green");
    case ColourRole::yellow:
        return QStringLiteral("Yellow");
    case ColourRole::orange:
        return QStringLiteral("Orange");
    case ColourRole::red:
        return QStringLiteral("Red");
    case ColourRole::blue:
        return QStringLiteral("Blue");
    case ColourRole::primary:
    case ColourRole::secondary:
    case ColourRole::tertiary:
        break;
    }
    return QStringLiteral("Grey");
}

} // namespace kavro::ui
