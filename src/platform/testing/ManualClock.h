// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <algorithm>
#include <utility>

namespace kavro::platform::testing {

// A clock that stands still until the test moves it. Moving it forward lets that much
// time pass; setWallClock() only changes what the wall clock shows, as a user setting
// the clock does.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53), QTimeZone::utc()),
                         const QTimeZone& zone = QTimeZone::utc())
        : m_now(std::move(start)), m_zone(zone) {}

    QDateTime now() const override { return m_now; }
    std::chrono::milliseconds elapsed() const override { return m_elapsed; }
    QTimeZone timeZone() const override { return m_zone; }

    // The wall clock shows `moment`; if that is later, the time between has passed.
    void set(const QDateTime& moment) {
        m_elapsed += std::chrono::milliseconds(std::max<qint64>(0, m_now.msecsTo(moment)));
        m_now = moment;
    }
    void advance(double seconds) {
        const auto step = static_cast<qint64>(seconds * 1000.0);
        m_now = m_now.addMSecs(step);
        m_elapsed += std::chrono::milliseconds(std::max<qint64>(0, step));
    }
    // The wall clock is set to `moment`, forwards or back; no time passes.
    void setWallClock(const QDateTime& moment) { m_now = moment; }
    void setTimeZone(const QTimeZone& zone) { m_zone = zone; }

private:
    QDateTime m_now;
    QTimeZone m_zone;
    // Starts far from zero, as a real machine's uptime does.
    std::chrono::milliseconds m_elapsed{std::chrono::hours(50)};
};

} // namespace kavro::platform::testing
