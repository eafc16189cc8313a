// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

class QWidget;

namespace kavro::ui {

// Paces the refresh of a view that follows the live level: the changes announced in
// one turn of the event loop make one refresh after the turn, and refreshes keep about
// `intervalMs` apart (never less than four fifths of it). The level changes with every buffer (about 47 times
// a second), more than an eye reads, and each refresh costs the whole program's CPU. A hidden view does no
// work at all; it refreshes at once when it is shown.
class RefreshPacer final : public QObject {
public:
    // Ten times a second: the pace of every view of the live level.
    static constexpr int kLiveIntervalMs = 100;
    // A refresh due within a fifth of the interval runs at once, after the turn.
    static constexpr int kSameWakeFraction = 5;

    // `refresh` reads the state into the view; the pacer belongs to the view.
    RefreshPacer(QWidget& view, std::function<void()> refresh, int intervalMs = kLiveIntervalMs);

    // Asks for a refresh; asks made before it runs are one. A hidden view ignores it.
    void request();
    // Refreshes at once (the view is being shown, or must be current now); a pending
    // refresh is not needed any more, and the next one keeps its distance from this.
    void refreshNow();

private:
    void run();

    QWidget& m_view;
    int m_intervalMs;
    std::function<void()> m_refresh;
    QTimer m_timer;
    QElapsedTimer m_sinceRefresh;
};

} // namespace kavro::ui
