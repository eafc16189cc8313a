// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace kavro::platform {

// Lets the user pick where a file is saved (a save dialog in the application). The
// choice may arrive later, on the main thread; a cancelled choice gives no path.
class DestinationChooser {
public:
    using Completion = std::function<void(std::optional<QString> path)>;

    virtual ~DestinationChooser() = default;

    // Proposes `suggestedName` and offers only files ending in `.<suffix>`.
    virtual void chooseDestination(const QString& suggestedName, const QString& suffix, Completion done) = 0;
};

} // namespace kavro::platform
