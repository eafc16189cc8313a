// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Updater.h"

namespace kavro::platform {

// Linux distributions update the program through their packages: there is nothing to
// check from inside it.
class NoUpdater final : public Updater {
public:
    bool canCheckForUpdates() const override { return false; }
    void checkForUpdates() override {}
};

} // namespace kavro::platform
