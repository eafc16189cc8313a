#pragma once

#include "models/DoseLevel.h"

#include <QIcon>
#include <QString>

#include <functional>

class QWidget;

namespace kavro::core {
class AppState;
}
namespace kavro::platform {
class Updater;
}

namespace kavro::ui {

// What the panel's footer opens or ends; the shell decides how.
struct PanelActions {
    std::function<void()> openSettings;
    std::function<void()> openHistory;
    std::function<void()> quit;
};

// The one place the shell takes the panel and the band symbols from.
QWidget* createPanel(core::AppState& state, platform::Updater& updater, PanelActions actions,
                     QWidget* parent);
QIcon bandIcon(models::DoseLevel level);
QString bandSymbolName(models::DoseLevel level);

} // namespace kavro::ui
