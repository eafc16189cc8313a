#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace kavro::ui {

// Paces a view's refresh: the changes announced in one turn of the event loop make one
// refresh after the turn, and refreshes keep at least `intervalMs` apart. The level
// changes with every buffer (about 47 times a second), more than an eye reads, and each
// refresh costs the whole program's CPU.
class RefreshPacer final : public QObject {
public:
    RefreshPacer(int intervalMs, std::function<void()> refresh, QObject* parent = nullptr);

    // Asks for a refresh; asks made before it runs are one.
    void request();
    // The view refreshed at once by itself: a pending refresh is not needed any more,
    // and the next one keeps its distance from this one.
    void refreshedNow();

private:
    void run();

    int m_intervalMs;
    std::function<void()> m_refresh;
    QTimer m_timer;
    QElapsedTimer m_sinceRefresh;
};

} // namespace kavro::ui
