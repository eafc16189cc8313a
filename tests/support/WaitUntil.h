// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTest>

namespace kavro::testing {

// Runs the event loop until the condition holds; false if it did not within the time.
// (To let the event loop run for a set time, tests call QTest::qWait.)
template <typename Condition> bool waitUntil(Condition condition, int milliseconds = 5000) {
    return QTest::qWaitFor(condition, milliseconds);
}

} // namespace kavro::testing
