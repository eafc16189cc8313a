#include "ui/shell/WindowContents.h"

#include "ui/settings/SettingsWindowContent.h"

#include <QWidget>

namespace kavro::ui {

QWidget* historyWindowContent(core::AppState&, QWidget* parent) {
    return new QWidget(parent);
}

QWidget* settingsWindowContent(core::AppState& state, QWidget* parent) {
    return new SettingsWindowContent(state, BuildInfo::current(), parent);
}

} // namespace kavro::ui
