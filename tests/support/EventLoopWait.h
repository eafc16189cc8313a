#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace kavro::testing {

// Runs the event loop until the predicate holds or the time is up; returns whether
// it holds.
template <typename Predicate> bool waitFor(Predicate predicate, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!predicate() && timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return predicate();
}

// Runs the event loop for the given time.
inline void spin(int milliseconds) {
    waitFor([] { return false; }, milliseconds);
}

} // namespace kavro::testing
