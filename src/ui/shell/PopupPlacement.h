// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kavro::ui {

// Where a popup of `size` opens next to `anchor` (the tray icon, or a one-pixel
// rectangle at the cursor when the tray does not say where its icon is): below the
// anchor when it lies in the upper half of the screen, above it otherwise, centred on
// it horizontally, and always inside `available` (the screen without its panels).
QPoint popupPosition(const QRect& anchor, const QSize& size, const QRect& available);

} // namespace kavro::ui
