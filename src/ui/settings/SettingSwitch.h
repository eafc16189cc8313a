// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

// A switch of the settings window and the setting of the application state it edits.
struct SettingSwitch {
    QString label;
    bool (core::AppState::*read)() const = nullptr;
    void (core::AppState::*write)(bool) = nullptr;

    bool isOn(const core::AppState& state) const;
    void set(core::AppState& state, bool on) const;
};

} // namespace kavro::ui
