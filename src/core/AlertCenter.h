// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/DoseLevel.h"
#include "platform/NotificationCenter.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kavro::platform {
class Clock;
}

namespace kavro::core {

// The application's warnings: turns band crossings, impulse peaks, sustained loud
// listening, session ends and a lost microphone into desktop notifications, with
// their fixed texts, rate limits and the user's snooze.
class AlertCenter {
public:
    // The two settings the alerts obey, read at the moment a notification is built.
    struct Settings {
        std::function<bool()> peakMonitoringEnabled;
        std::function<bool()> timeSensitiveNotifications;
    };
    // Today's accumulated dose as a fraction of the daily allowance (1.0 = 100 %).
    using DoseSource = std::function<double()>;

    static inline const QString kSnoozeActionIdentifier = QStringLiteral("SNOOZE_30");
    static constexpr double kSnoozeSeconds = 1800.0;
    static constexpr double kPeakIntervalSeconds = 30.0;
    static constexpr double kInstantaneousPeakIntervalSeconds = 60.0;
    static constexpr double kSustainedLevelDb = 90.0;
    static constexpr double kSustainedWindowSeconds = 600.0;

    AlertCenter(platform::NotificationCenter& center, const platform::Clock& clock, Settings settings,
                DoseSource accumulatedDose);
    ~AlertCenter();
    AlertCenter(const AlertCenter&) = delete;
    AlertCenter& operator=(const AlertCenter&) = delete;

    // Asks for permission, registers the categories and installs the response handler.
    void setupNotifications();

    void sendThresholdNotification(models::DoseLevel level);
    void sendPeakNotification(double peakDB);
    void sendInstantaneousPeakNotification(double peakDB);
    // Called with the A-weighted level on every fast tick while capture runs.
    void checkSustainedExposure(double spl);
    void sendSustainedExposureNotification(double spl);
    // Both in percent of the daily allowance.
    void sendSessionRecapNotification(double sessionDose, double totalDose);
    // `outputLost`: the level came from an output (headphones), not from a microphone.
    void sendDeviceDisconnectedNotification(bool outputLost = false);
    // The history file could not be written; `reason` says why.
    void sendHistorySaveFailedNotification(const QString& reason);

    void handleResponse(const platform::NotificationResponse& response);
    // A session end restarts the sustained-listening watch.
    void clearSustainedWatch() { m_sustainedHighSPLStart.reset(); }

    const std::optional<QDateTime>& snoozedUntil() const { return m_snoozedUntil; }
    const std::optional<QDateTime>& sustainedHighSPLStart() const { return m_sustainedHighSPLStart; }
    const std::optional<QDateTime>& lastPeakNotificationTime() const { return m_lastPeakNotificationTime; }
    const std::optional<QDateTime>& lastInstantaneousPeakNotificationTime() const {
        return m_lastInstantaneousPeakNotificationTime;
    }

    // The seven categories and their snooze buttons.
    static std::vector<platform::NotificationCategory> categories();
    // Seconds since 1970 as the shortest decimal that reads back as the same double,
    // always with a fraction ("1741944413.0", "1741944413.125").
    static QString timeStamp(const QDateTime& moment);

private:
    bool isSnoozed(const QDateTime& now) const;
    // The peak setting, the snooze and the rate limit, in that order; a peak that passes
    // them all starts the next rate-limit interval.
    bool passPeakGates(std::optional<QDateTime>& lastNotification, double intervalSeconds,
                       const QDateTime& now);
    bool timeSensitive() const;

    platform::NotificationCenter& m_center;
    const platform::Clock& m_clock;
    Settings m_settings;
    DoseSource m_accumulatedDose;

    std::optional<QDateTime> m_snoozedUntil;
    std::optional<QDateTime> m_sustainedHighSPLStart;
    std::optional<QDateTime> m_lastPeakNotificationTime;
    std::optional<QDateTime> m_lastInstantaneousPeakNotificationTime;
};

} // namespace kavro::core
