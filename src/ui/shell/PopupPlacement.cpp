// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/PopupPlacement.h"

#include <algorithm>

namespace kavro::ui {

namespace {

// A little air between the icon and the popup.
constexpr int kGap = 4;

// The start of a span of `length` placed at `wanted`, moved inside [low, high]; a span
// longer than the range starts at its low end.
int clampedStart(int wanted, int length, int low, int high) {
    return std::max(low, std::min(wanted, high - length + 1));
}

} // namespace

QPoint popupPosition(const QRect& anchor, const QSize& size, const QRect& available) {
    const bool below = anchor.center().y() < available.center().y();
    const int wantedY = below ? anchor.bottom() + 1 + kGap : anchor.top() - kGap - size.height();
    const int wantedX = anchor.center().x() - size.width() / 2;
    return {clampedStart(wantedX, size.width(), available.left(), available.right()),
            clampedStart(wantedY, size.height(), available.top(), available.bottom())};
}

} // namespace kavro::ui
