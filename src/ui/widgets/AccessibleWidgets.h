// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kavro::ui {

// Tells Qt's accessibility layer what the program's own painted widgets are (a line
// of text, a progress bar, a chart), so that a screen reader names them like Qt's own. Safe
// to call many times.
void installAccessibleWidgets();

} // namespace kavro::ui
