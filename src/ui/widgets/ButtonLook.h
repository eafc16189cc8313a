// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QAbstractButton;
class QWidget;

namespace kavro::ui {

// How the settings window's buttons look: the desktop's own button, or a prominent one
// filled with the accent colour or with red, or a bare symbol in red for removing
// things. The look is kept on the button, so it can be drawn again for a new palette.
class ButtonLook {
public:
    enum class Tint { none, accent, red, redSymbol };

    // Sets the words, the symbol (may be empty) and the tint; a screen reader hears
    // `spokenName` when the button shows no words.
    static void apply(QAbstractButton* button, const QString& text, const QString& symbol, Tint tint,
                      const QString& spokenName = {});
    // Draws every styled button under `root` again for the palette it has now.
    static void refreshAll(QWidget* root);
};

} // namespace kavro::ui
