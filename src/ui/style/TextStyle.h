// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>

namespace kavro::ui {

// The type sizes of the program's views, relative to the desktop's own font so that
// every view follows the user's setting.
enum class TextStyle { body, headline, callout, subheadline, small, caption, smallestCaption, large };

// `base` in the size and weight of `style`. Headline and large are always bold.
QFont styledFont(const QFont& base, TextStyle style, QFont::Weight weight = QFont::Normal);

// The system's fixed-width font at the size of `style`, for values whose digits must
// not move as they change.
QFont fixedWidthFont(const QFont& base, TextStyle style, QFont::Weight weight = QFont::Normal);

} // namespace kavro::ui
