// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <time.h>

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
    QTimeZone timeZone() const override {
        return QTimeZone::systemTimeZone();
    }
};

} // namespace kavro::platform
