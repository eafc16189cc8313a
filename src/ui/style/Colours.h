// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/DoseLevel.h"
#include "ui/presentation/HistoryColour.h"

#include <QColor>
#include <QPalette>

namespace kavro::ui {

// The colours the views speak of by name. Each is turned into a concrete colour for
// the palette it is drawn on, so that it stays readable on light and dark desktops.
enum class ColourRole { primary, secondary, tertiary, green, yellow, orange, red, blue };

// Text and symbols in a colour must reach this contrast against the background: the
// usual minimum for body text, which also keeps the light band colours legible.
inline constexpr double kMinimumTextContrast = 4.5;

// The role of a dose band's colour ("Safe" green ... "Over-exposed" red).
ColourRole bandRole(models::DoseLevel level);

// A role as drawn on `palette`'s window colour.
QColor roleColour(ColourRole role, const QPalette& palette);

// A band's colour as drawn on `palette`'s window colour.
QColor bandColour(models::DoseLevel level, const QPalette& palette);

// The background of a group of rows (a form section) on `palette`'s window: a shade
// lighter than the window on dark desktops, the base colour of fields on light ones.
QColor groupBackground(const QPalette& palette);

// A fill for a button with white words on it: `role`'s colour, darkened until the
// words read on it.
QColor filledButtonColour(ColourRole role);

// What a colour is drawn as: text must stay legible, so its colour is darkened or
// lightened against the window; a filled shape (a bar, a dot) keeps the band's own colour.
enum class ColourUse { text, shape };

// A colour of the history window on `palette`: the dose bands as their roles, the quiet
// values in the secondary colour (at half opacity where asked), clear as transparent.
QColor historyColour(HistoryColour colour, const QPalette& palette, ColourUse use = ColourUse::text);

// The desktop's accent (its selection colour) at `opacity`, for tints and rings.
QColor accentColour(const QPalette& palette, double opacity = 1.0);

// A neutral grey at `opacity`, for tracks and backgrounds that must read as empty space
// on light and dark windows alike.
QColor greyFill(double opacity);

// The contrast ratio of two colours (1 to 21), from their relative luminance.
double contrastRatio(const QColor& first, const QColor& second);

// `colour`, darkened on light backgrounds or lightened on dark ones just enough to
// reach `minimumContrast` against `background`. Colours that already do are kept.
QColor readableOn(const QColor& colour, const QColor& background, double minimumContrast);

} // namespace kavro::ui
