#include "ui/widgets/RefreshPacer.h"

#include <algorithm>

namespace kavro::ui {

RefreshPacer::RefreshPacer(int intervalMs, std::function<void()> refresh, QObject* parent)
    : QObject(parent), m_intervalMs(intervalMs), m_refresh(std::move(refresh)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &RefreshPacer::run);
}

void RefreshPacer::request() {
    if (m_timer.isActive()) {
        return;
    }
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : m_intervalMs;
    m_timer.start(static_cast<int>(std::max<qint64>(0, m_intervalMs - since)));
}

void RefreshPacer::refreshedNow() {
    m_timer.stop();
    m_sinceRefresh.start();
}

void RefreshPacer::run() {
    m_sinceRefresh.start();
    m_refresh();
}

} // namespace kavro::ui
