// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/RollingLevelWindow.h"

#include <QObject>

#include <cstdint>
#include <optional>

namespace kavro::services {

// Rolling statistics of the A-weighted level: the equivalent continuous level over the
// newest 1, 10 and 30 minutes of readings and L10/L50/L90 over the whole window. A
// value is absent until its window holds enough readings. The window ages only with
// readings, not with time: a pause in measuring leaves it as it was. Main thread only.
class LeqStatisticsService : public QObject {
    Q_OBJECT
public:
    // rateHz: readings per second (10 in the application).
    explicit LeqStatisticsService(double rateHz, QObject* parent = nullptr);

    std::optional<double> leq1min() const { return m_leq1min; }
    std::optional<double> leq10min() const { return m_leq10min; }
    std::optional<double> leq30min() const { return m_leq30min; }
    std::optional<double> l10() const { return m_l10; }
    std::optional<double> l50() const { return m_l50; }
    std::optional<double> l90() const { return m_l90; }

    double rateHz() const { return m_rateHz; }
    std::int64_t maxSamples() const { return m_maxSamples; }
    std::int64_t tickCount() const { return m_tickCount; }
    std::int64_t sampleCount() const { return static_cast<std::int64_t>(m_window.size()); }

    // One A-weighted reading in dB. Leq is refreshed on every reading, the Ln values
    // once a second of readings.
    void addReading(double levelDb);
    void reset();

signals:
    void changed();

private:
    void recalculateLeq();
    void recalculateLn();
    std::optional<double> windowAverage(std::int64_t windowSamples) const;

    const double m_rateHz;
    const std::int64_t m_maxSamples;
    const std::int64_t m_oneMinuteSamples;
    const std::int64_t m_tenMinuteSamples;
    const std::int64_t m_lnRefreshTicks;

    dsp::RollingLevelWindow m_window;
    std::int64_t m_tickCount = 0;

    std::optional<double> m_leq1min;
    std::optional<double> m_leq10min;
    std::optional<double> m_leq30min;
    std::optional<double> m_l10;
    std::optional<double> m_l50;
    std::optional<double> m_l90;
};

} // namespace kavro::services
