// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/ButtonLook.h"

#include "ui/style/Colours.h"
#include "ui/style/SymbolIcons.h"

#include <QAbstractButton>
#include <QApplication>

namespace kavro::ui {

namespace {

const char* const kTextProperty = "kavroLookText";
const char* const kSymbolProperty = "kavroLookSymbol";
const char* const kTintProperty = "kavroLookTint";
// How much darker a filled button is while pressed, in percent.
constexpr int kPressedDarkening = 125;
constexpr double kDisabledFillOpacity = 0.2;

// The palette the button sits on; its own carries the tint it was given last time.
QPalette surroundings(const QAbstractButton* button) {
    return button->parentWidget() ? button->parentWidget()->palette() : QApplication::palette();
}

QString cssColour(const QColor& colour) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue())
        .arg(colour.alphaF(), 0, 'f', 2);
}

// A filled button drawn with exactly its fill and words. Styles lighten and wash out a
// button's colour for their own gradients (Fusion turns a fill that reads at 4.5 to 1
// into one that reads at 2.5 to 1), so the fill is given as a style sheet, which the
// style draws flat.
QString filledSheet(const QColor& fill, const QColor& words, const QPalette& around) {
    const QColor pressed = fill.darker(kPressedDarkening);
    return QStringLiteral("QAbstractButton { background-color: %1; color: %2; border: 2px solid %1;"
                          " border-radius: 6px; padding: 4px 12px; }"
                          "QAbstractButton:pressed { background-color: %3; border-color: %3; }"
                          // The keyboard's place: a ring in the words' colour inside the fill.
                          "QAbstractButton:focus { border-color: %2; }"
                          // Disabled, it is a quiet grey that does not look pressable.
                          "QAbstractButton:disabled { background-color: %4; color: %5; border-color: %4; }")
        .arg(fill.name(), words.name(), pressed.name(), cssColour(greyFill(kDisabledFillOpacity)),
             around.color(QPalette::Disabled, QPalette::ButtonText).name());
}

void draw(QAbstractButton* button) {
    const QString symbol = button->property(kSymbolProperty).toString();
    const auto tint = static_cast<ButtonLook::Tint>(button->property(kTintProperty).toInt());
    const QPalette around = surroundings(button);
    QPalette own = around;
    QColor symbolColour = around.color(QPalette::ButtonText);
    QString sheet;
    switch (tint) {
    case ButtonLook::Tint::none:
        break;
    case ButtonLook::Tint::accent:
    case ButtonLook::Tint::red: {
        const QColor words =
            tint == ButtonLook::Tint::accent ? around.color(QPalette::HighlightedText) : QColor(Qt::white);
        // Some desktops' accents are too light for white words (Fusion's blue reads at
        // about 3.7 to 1): the fill is darkened until the words read.
        const QColor fill = tint == ButtonLook::Tint::accent
                                ? readableOn(around.color(QPalette::Highlight), words, kMinimumTextContrast)
                                : filledButtonColour(ColourRole::red);
        // Only the enabled look is tinted: a disabled button keeps the desktop's grey.
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            own.setColor(group, QPalette::Button, fill);
            own.setColor(group, QPalette::ButtonText, words);
        }
        sheet = filledSheet(fill, words, around);
        symbolColour = words;
        break;
    }
    case ButtonLook::Tint::redSymbol:
        symbolColour = roleColour(ColourRole::red, around);
        break;
    }
    button->setPalette(own);
    if (button->styleSheet() != sheet) {
        button->setStyleSheet(sheet);
    }
    button->setIcon(symbol.isEmpty() ? QIcon() : SymbolIcons::icon(symbol, symbolColour));
}

} // namespace

void ButtonLook::apply(QAbstractButton* button, const QString& text, const QString& symbol, Tint tint,
                       const QString& spokenName) {
    const bool same = button->property(kTextProperty).toString() == text &&
                      button->property(kSymbolProperty).toString() == symbol &&
                      button->property(kTintProperty).isValid() &&
                      button->property(kTintProperty).toInt() == static_cast<int>(tint);
    if (!spokenName.isEmpty() && button->accessibleName() != spokenName) {
        button->setAccessibleName(spokenName);
    }
    if (same) {
        return;
    }
    button->setProperty(kTextProperty, text);
    button->setProperty(kSymbolProperty, symbol);
    button->setProperty(kTintProperty, static_cast<int>(tint));
    if (button->text() != text) {
        button->setText(text);
    }
    draw(button);
}

void ButtonLook::refreshAll(QWidget* root) {
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (button->property(kTintProperty).isValid()) {
            draw(button);
        }
    }
}

} // namespace kavro::ui
