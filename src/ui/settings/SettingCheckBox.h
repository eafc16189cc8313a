// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/SettingSwitch.h"

#include <QCheckBox>

namespace kavro::ui {

// A check box that edits one of the user's settings through the application state and
// shows its value whenever the setting changes, from here or from anywhere else.
class SettingCheckBox : public QCheckBox {
    Q_OBJECT
public:
    // The state must outlive the check box.
    SettingCheckBox(core::AppState& state, SettingSwitch setting, QWidget* parent = nullptr);

    const SettingSwitch& setting() const { return m_setting; }

private:
    void showValue();

    core::AppState& m_state;
    SettingSwitch m_setting;
};

} // namespace kavro::ui
