// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DestinationChooser.h"

#include <QStringList>

namespace kavro::platform::testing {

// Answers every request at once with the path a test set, or cancels when none is set;
// records what was proposed.
class FixedDestinationChooser final : public DestinationChooser {
public:
    void chooseDestination(const QString& suggestedName, const QString& suffix, Completion done) override {
        suggestedNames.append(suggestedName);
        suffixes.append(suffix);
        done(answer);
    }

    std::optional<QString> answer;
    QStringList suggestedNames;
    QStringList suffixes;
};

} // namespace kavro::platform::testing
