// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/SettingSwitch.h"

#include "core/AppState.h"

namespace kavro::ui {

bool SettingSwitch::isOn(const core::AppState& state) const {
    return (state.*read)();
}

void SettingSwitch::set(core::AppState& state, bool on) const {
    (state.*write)(on);
}

} // namespace kavro::ui
