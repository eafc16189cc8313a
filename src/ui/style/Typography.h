#pragma once

#include <QFont>

namespace kavro::ui {

// The text sizes of the views, relative to the desktop's own font so that they follow
// the user's setting.
enum class TextStyle { body, headline, callout, subheadline, small, caption, smallestCaption, large };

// `base` in the size and weight of `style`; styles with a weight of their own
// (headline, large) ignore `weight`.
QFont fontFor(const QFont& base, TextStyle style, QFont::Weight weight = QFont::Normal);

// The system's fixed-width font at the size of `style`, for values whose digits must
// not move as they change.
QFont fixedWidthFontFor(const QFont& base, TextStyle style, QFont::Weight weight = QFont::Normal);

} // namespace kavro::ui
