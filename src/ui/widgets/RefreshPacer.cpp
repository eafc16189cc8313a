// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/RefreshPacer.h"

#include <QWidget>

#include <algorithm>

namespace kavro::ui {

RefreshPacer::RefreshPacer(QWidget& view, std::function<void()> refresh, int intervalMs)
    : QObject(&view), m_view(view), m_intervalMs(intervalMs), m_refresh(std::move(refresh)) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &RefreshPacer::run);
}

void RefreshPacer::request() {
    if (!m_view.isVisible() || m_timer.isActive()) {
        return;
    }
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : m_intervalMs;
    // The live values change on the feed's tick, itself every interval: a refresh due a
    // few milliseconds later runs in the tick's own wake rather than in one of its own.
    const qint64 wait = m_intervalMs - since;
    m_timer.start(wait <= m_intervalMs / kSameWakeFraction ? 0 : static_cast<int>(wait));
}

void RefreshPacer::refreshNow() {
    m_timer.stop();
    m_sinceRefresh.start();
    m_refresh();
}

void RefreshPacer::run() {
    // The view may have been hidden since the request.
    if (m_view.isVisible()) {
        m_sinceRefresh.start();
        m_refresh();
    }
}

} // namespace kavro::ui
