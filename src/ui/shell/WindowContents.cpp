// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/WindowContents.h"

#include "ui/history/HistoryWindowContent.h"
#include "ui/settings/SettingsWindowContent.h"

#include <QWidget>

namespace kavro::ui {

QWidget* historyWindowContent(core::AppState& state, QWidget* parent) {
    // Exports go through a save dialog over this window.
    return new HistoryWindowContent(state, nullptr, parent);
}

QWidget* settingsWindowContent(core::AppState& state, QWidget* parent) {
    return new SettingsWindowContent(state, BuildInfo::current(), parent);
}

} // namespace kavro::ui
