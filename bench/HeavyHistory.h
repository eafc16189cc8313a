// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The history on its heaviest day: 30 days of six sessions each (180 sessions, 43,200
// readings in all), every session within the last 30 days before `now`.
#include "models/Session.h"

#include <QDateTime>
#include <QList>
#include <QTimeZone>

namespace kavro::bench {

inline constexpr int kHeavyDays = 30;
inline constexpr int kHeavySessionsPerDay = 6;
inline constexpr int kHeavyReadingsPerSession = 240; // four hours at one reading a minute

inline const QTimeZone kBerlin("Europe/Berlin");

// Newest first, as the session manager keeps them.
inline QList<models::Session> heavyHistory(const QDateTime& now) {
    QList<models::Session> sessions;
    for (int day = 0; day < kHeavyDays; ++day) {
        for (int index = kHeavySessionsPerDay - 1; index >= 0; --index) {
            const QDateTime start =
                QDateTime(now.date().addDays(-day), QTime(0, 30), now.timeZone()).addSecs(index * 3 * 3600);
            models::Session session = models::Session::create(
                index % 2 ? QStringLiteral("Ableton Live") : QStringLiteral("Pro Tools, HD"), start);
            session.endDate = start.addSecs(kHeavyReadingsPerSession * 60);
            session.averageSPL = 80.0 + (day * 7 + index) % 13 * 0.37;
            session.peakSPL = session.averageSPL + 12.25;
            session.doseAccumulated = 3.0 + (day * 11 + index * 5) % 29 * 0.91;
            session.peakDBC = 120.0 + (day + index) % 22;
            session.peakCount135 = (day + index) % 5;
            session.peakCount140 = (day + index) % 2;
            session.peakDBACount115 = index % 3 == 0;
            session.readings.reserve(kHeavyReadingsPerSession);
            for (int minute = 0; minute < kHeavyReadingsPerSession; ++minute) {
                session.readings.append({start.addSecs(minute * 60 + 60), 78.0 + minute % 17 * 0.73,
                                         minute * 0.0625 + day, 84.0 + minute % 11 * 0.41});
            }
            sessions.append(session);
        }
    }
    return sessions;
}

} // namespace kavro::bench
