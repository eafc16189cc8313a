// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

// The content of the History and Settings windows, built into the window given as
// parent. Each window's own view plugs in here; until then a window is empty.
QWidget* historyWindowContent(core::AppState& state, QWidget* parent);
QWidget* settingsWindowContent(core::AppState& state, QWidget* parent);

} // namespace kavro::ui
