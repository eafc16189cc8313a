// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace kavro::platform {

// The program's own update checker, where the platform has one.
class Updater {
public:
    virtual ~Updater() = default;

    // Whether a check can start now.
    virtual bool canCheckForUpdates() const = 0;
    // Starts a check the user asked for; the updater shows its own windows.
    virtual void checkForUpdates() = 0;

    // Called with the new value whenever canCheckForUpdates() changes.
    std::function<void(bool canCheck)> onCanCheckForUpdatesChanged;
};

} // namespace kavro::platform
