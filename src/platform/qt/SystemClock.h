// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <time.h>

#include <mutex>
#include <optional>

namespace kavro::platform {

// The real clock: the system time and the system time zone.
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
    std::chrono::milliseconds elapsed() const override {
#ifdef CLOCK_BOOTTIME
        // Unlike the monotonic clock, the boot-time clock counts a suspend: a session
        // across one ends at the wall-clock time it really ended.
        timespec time{};
        if (clock_gettime(CLOCK_BOOTTIME, &time) == 0) {
            return std::chrono::seconds(time.tv_sec) + std::chrono::duration_cast<std::chrono::milliseconds>(
                                                           std::chrono::nanoseconds(time.tv_nsec));
        }
#endif
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
    // Looking the system's zone up reads the system's settings each time, and the day
    // rules ask for it ten times a second: the zone is looked at again every few
    // seconds, so a zone the user changes is followed within that time.
    QTimeZone timeZone() const override {
        const std::lock_guard lock(m_zoneMutex);
        const auto moment = std::chrono::steady_clock::now();
        if (!m_zoneLookedUpAt || moment - *m_zoneLookedUpAt >= kZoneLookInterval) {
            m_zone = QTimeZone::systemTimeZone();
            m_zoneLookedUpAt = moment;
        }
        return m_zone;
    }

    static constexpr std::chrono::seconds kZoneLookInterval{10};

private:
    mutable std::mutex m_zoneMutex;
    mutable QTimeZone m_zone;
    mutable std::optional<std::chrono::steady_clock::time_point> m_zoneLookedUpAt;
};

} // namespace kavro::platform
