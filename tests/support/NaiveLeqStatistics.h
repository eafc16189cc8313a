// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Leq and Ln recomputed from the whole stored window on every reading, exactly as
// the statistics are defined: the oracle of the statistics tests and the baseline of
// their benchmark.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace kavro::testsupport {

class NaiveLeqStatistics {
public:
    explicit NaiveLeqStatistics(double rateHz)
        : m_maxSamples(std::max<std::int64_t>(1, static_cast<std::int64_t>(rateHz * 1800))),
          m_w1(static_cast<std::int64_t>(rateHz * 60)), m_w10(static_cast<std::int64_t>(rateHz * 600)),
          m_lnEvery(std::max<std::int64_t>(1, static_cast<std::int64_t>(rateHz))) {}

    std::optional<double> leq1min, leq10min, leq30min, l10, l50, l90;

    void addReading(double level) {
        push(level);
        recalculateLeq();
        if (m_ticks % m_lnEvery == 0) {
            recalculateLn();
        }
    }

    // The steps of addReading, for tests that only look now and then.
    void push(double level) {
        if (static_cast<std::int64_t>(m_buffer.size()) >= m_maxSamples) {
            m_buffer.pop_front();
        }
        m_buffer.push_back(level);
        ++m_ticks;
    }
    void recalculateLeq() {
        leq1min = window(m_w1);
        leq10min = window(m_w10);
        leq30min =
            static_cast<std::int64_t>(m_buffer.size()) >= m_maxSamples ? average(m_maxSamples) : std::nullopt;
    }
    void recalculateLn() {
        const auto count = static_cast<std::int64_t>(m_buffer.size());
        if ((m_w1 >= 1 && count >= m_w1) || (m_w1 < 1 && count > 0)) {
            std::vector<double> sorted(m_buffer.begin(), m_buffer.end());
            std::sort(sorted.begin(), sorted.end());
            l10 = exceeded(sorted, 0.1);
            l50 = exceeded(sorted, 0.5);
            l90 = exceeded(sorted, 0.9);
        } else {
            l10 = l50 = l90 = std::nullopt;
        }
    }
    std::int64_t lnRefreshTicks() const { return m_lnEvery; }

private:
    std::optional<double> window(std::int64_t length) const {
        if (length < 1) {
            return average(1);
        }
        return static_cast<std::int64_t>(m_buffer.size()) < length ? std::nullopt : average(length);
    }
    std::optional<double> average(std::int64_t newest) const {
        newest = std::min<std::int64_t>(newest, static_cast<std::int64_t>(m_buffer.size()));
        if (newest == 0) {
            return std::nullopt;
        }
        double sum = 0;
        for (auto it = m_buffer.end() - newest; it != m_buffer.end(); ++it) {
            sum += std::pow(10.0, *it / 10.0);
        }
        return 10.0 * std::log10(sum / static_cast<double>(newest));
    }
    static double exceeded(const std::vector<double>& sorted, double p) {
        const double last = static_cast<double>(sorted.size() - 1);
        return sorted[static_cast<std::size_t>(std::clamp(std::round((1.0 - p) * last), 0.0, last))];
    }

    std::int64_t m_maxSamples, m_w1, m_w10, m_lnEvery;
    std::int64_t m_ticks = 0;
    std::deque<double> m_buffer;
};

} // namespace kavro::testsupport
