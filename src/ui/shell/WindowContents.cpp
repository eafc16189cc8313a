#include "ui/shell/WindowContents.h"

#include <QWidget>

namespace kavro::ui {

QWidget* historyWindowContent(core::AppState&, QWidget* parent) {
    return new QWidget(parent);
}

QWidget* settingsWindowContent(core::AppState&, QWidget* parent) {
    return new QWidget(parent);
}

} // namespace kavro::ui
