// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The application state over fakes with one microphone, and an updater whose answer a
// test sets: what the panel's presenter and widget tests start from.
#include "platform/Updater.h"
#include "support/AppStateFixture.h"

namespace kavro::testing {

// An updater whose answer a test sets.
class SwitchableUpdater final : public platform::Updater {
public:
    bool canCheckForUpdates() const override { return m_canCheck; }
    void checkForUpdates() override { ++checks; }
    void setCanCheck(bool canCheck) {
        m_canCheck = canCheck;
        if (onCanCheckForUpdatesChanged) {
            onCanCheckForUpdatesChanged(canCheck);
        }
    }
    int checks = 0;

private:
    bool m_canCheck = false;
};

// The application state with one microphone, and an updater, as the panel meets them.
class PanelFixture : public AppStateFixture {
protected:
    PanelFixture() {
        backend.inputs = {device(QStringLiteral("studio"), QStringLiteral("studio"))};
        restartState();
    }

    SwitchableUpdater updater;
};

} // namespace kavro::testing
