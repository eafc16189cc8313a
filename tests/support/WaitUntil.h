#pragma once

#include <QDeadlineTimer>
#include <QTest>

#include <functional>

namespace kavro::testing {

// Runs the event loop until the condition holds; false if it did not within the time.
inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 5000) {
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

} // namespace kavro::testing
