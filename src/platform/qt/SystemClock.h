#pragma once

#include "platform/Clock.h"

namespace kavro::platform {

// The real clock: the system time and the system time zone.
class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
    QTimeZone timeZone() const override { return QTimeZone::systemTimeZone(); }
};

} // namespace kavro::platform
