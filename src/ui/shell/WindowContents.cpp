#include "ui/shell/WindowContents.h"

#include "ui/history/HistoryWindowContent.h"

#include <QWidget>

namespace kavro::ui {

QWidget* historyWindowContent(core::AppState& state, QWidget* parent) {
    // Exports go through a save dialog over this window.
    return new HistoryWindowContent(state, nullptr, parent);
}

QWidget* settingsWindowContent(core::AppState&, QWidget* parent) {
    return new QWidget(parent);
}

} // namespace kavro::ui
