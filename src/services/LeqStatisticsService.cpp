// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/LeqStatisticsService.h"

#include <algorithm>
#include <cmath>

namespace kavro::services {

namespace {

// A window length in readings: the product truncated to a whole number. A rate that
// is not a positive number gives an empty window, and an absurd one is capped so the
// window still fits in memory.
std::int64_t readingsIn(double rateHz, double seconds) {
    constexpr double kLargestWindow = 1e8;
    const double product = rateHz * seconds;
    if (!(product >= 1.0)) {
        return 0;
    }
    return static_cast<std::int64_t>(std::min(product, kLargestWindow));
}

} // namespace

LeqStatisticsService::LeqStatisticsService(double rateHz, QObject* parent)
    : QObject(parent), m_rateHz(rateHz), m_maxSamples(std::max<std::int64_t>(1, readingsIn(rateHz, 1800.0))),
      m_oneMinuteSamples(readingsIn(rateHz, 60.0)), m_tenMinuteSamples(readingsIn(rateHz, 600.0)),
      m_lnRefreshTicks(std::max<std::int64_t>(1, readingsIn(rateHz, 1.0))),
      m_window(static_cast<std::size_t>(m_maxSamples)) {}

void LeqStatisticsService::addReading(double levelDb) {
    m_window.push(levelDb);
    ++m_tickCount;
    recalculateLeq();
    if (m_tickCount % m_lnRefreshTicks == 0) {
        recalculateLn();
    }
    emit changed();
}

void LeqStatisticsService::reset() {
    m_window.clear();
    m_tickCount = 0;
    m_leq1min.reset();
    m_leq10min.reset();
    m_leq30min.reset();
    m_l10.reset();
    m_l50.reset();
    m_l90.reset();
    emit changed();
}

std::optional<double> LeqStatisticsService::windowAverage(std::int64_t windowSamples) const {
    // A window shorter than one reading (a very low rate) is the newest reading alone.
    if (windowSamples < 1) {
        return m_window.energyAverageOfNewest(1);
    }
    if (sampleCount() < windowSamples) {
        return std::nullopt;
    }
    return m_window.energyAverageOfNewest(static_cast<std::size_t>(windowSamples));
}

void LeqStatisticsService::recalculateLeq() {
    m_leq1min = windowAverage(m_oneMinuteSamples);
    m_leq10min = windowAverage(m_tenMinuteSamples);
    m_leq30min = sampleCount() >= m_maxSamples ? windowAverage(m_maxSamples) : std::nullopt;
}

void LeqStatisticsService::recalculateLn() {
    const std::int64_t count = sampleCount();
    const bool enough = m_oneMinuteSamples >= 1 ? count >= m_oneMinuteSamples : count > 0;
    if (!enough) {
        m_l10.reset();
        m_l50.reset();
        m_l90.reset();
        return;
    }
    m_l10 = m_window.levelExceededBy(0.1);
    m_l50 = m_window.levelExceededBy(0.5);
    m_l90 = m_window.levelExceededBy(0.9);
}

} // namespace kavro::services
