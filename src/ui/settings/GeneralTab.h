// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/BuildInfo.h"

#include <QWidget>

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

// The General tab: sessions that follow the workstations, launching at login,
// notifications that break through Do Not Disturb, and what this build is.
class GeneralTab : public QWidget {
    Q_OBJECT
public:
    // The state must outlive the tab.
    GeneralTab(core::AppState& state, const BuildInfo& build, QWidget* parent = nullptr);
};

} // namespace kavro::ui
