#pragma once

#include "platform/Clock.h"

#include <utility>

namespace kavro::platform::testing {

// A clock that stands still until the test moves it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2025, 3, 14), QTime(9, 26, 53), QTimeZone::utc()),
                         const QTimeZone& zone = QTimeZone::utc())
        : m_now(std::move(start)), m_zone(zone) {}

    QDateTime now() const override { return m_now; }
    QTimeZone timeZone() const override { return m_zone; }

    void set(const QDateTime& moment) { m_now = moment; }
    void advance(double seconds) { m_now = m_now.addMSecs(static_cast<qint64>(seconds * 1000.0)); }
    void setTimeZone(const QTimeZone& zone) { m_zone = zone; }

private:
    QDateTime m_now;
    QTimeZone m_zone;
};

} // namespace kavro::platform::testing
