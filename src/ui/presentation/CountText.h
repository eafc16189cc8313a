// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kavro::ui {

// A count and its noun, with an "s" added unless the count is 1: "1 day", "7 days",
// "0 sessions".
QString countText(qsizetype count, const char* noun);

} // namespace kavro::ui
