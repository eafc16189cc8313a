// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/SettingCheckBox.h"

#include "core/AppState.h"

#include <QSignalBlocker>

namespace kavro::ui {

SettingCheckBox::SettingCheckBox(core::AppState& state, SettingSwitch setting, QWidget* parent)
    : QCheckBox(setting.label, parent), m_state(state), m_setting(std::move(setting)) {
    showValue();
    connect(this, &QCheckBox::clicked, this, [this](bool on) {
        m_setting.set(m_state, on);
        // The setting may refuse (a login item the desktop would not register).
        showValue();
    });
    connect(&m_state, &core::AppState::settingChanged, this, &SettingCheckBox::showValue);
}

void SettingCheckBox::showValue() {
    const bool on = m_setting.isOn(m_state);
    if (isChecked() != on) {
        const QSignalBlocker blocker(this);
        setChecked(on);
    }
}

} // namespace kavro::ui
