// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace kavro::ui {

// The program's own symbols (ear, bolt, gear, ...), drawn as single-colour SVGs and
// tinted at run time: black in a drawing is the symbol, white is a cut-out, so a
// symbol can be drawn in any colour without a file per colour.
class SymbolIcons {
public:
    // ":/kavro/symbols/<symbol>.svg".
    static QString resourcePath(const QString& symbol);
    // Every symbol the program carries, by name ("ear", "bolt.fill", ...).
    static QStringList symbolNames();
    static bool exists(const QString& symbol);

    // The symbol at `size` device-independent pixels square, in `colour` (its alpha
    // included). An unknown symbol gives a transparent image.
    static QImage image(const QString& symbol, const QColor& colour, int size, qreal devicePixelRatio = 1.0);
    // The same, cached: views call it on every paint.
    static QPixmap pixmap(const QString& symbol, const QColor& colour, int size,
                          qreal devicePixelRatio = 1.0);
    // An icon that draws the symbol sharply at whatever size it is asked for; disabled
    // it is drawn faded.
    static QIcon icon(const QString& symbol, const QColor& colour);
};

} // namespace kavro::ui
