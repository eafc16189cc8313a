// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A month of listening as a mixing engineer might have it, made up from a fixed seed so
// that it is the same on every run: most weekdays one to three sessions at 74 to 88 dBA
// in different workstations, a few weekends, a reading a minute, the dose of each minute
// by the NIOSH rule, C-weighted peaks mostly below 135 dBC.
#include "dsp/DoseMath.h"
#include "models/Session.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QStringList>
#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace kavro::testing {

struct GeneratedHistoryOptions {
    int days = 30;
    quint32 seed = 14;
    // How many days before today the loud day falls (no loud day when negative): one
    // session with C-weighted peaks at 140 dBC and A-weighted peaks above 115 dBA.
    int loudDayBack = -1;
};

inline models::Session generatedSession(QRandomGenerator& random, const QString& workstation,
                                        const QDateTime& start, int minutes, double level) {
    models::Session session = models::Session::create(workstation, start);
    session.endDate = start.addSecs(minutes * 60);
    double energy = 0;
    double dose = 0;
    double loudest = 0;
    for (int minute = 0; minute < minutes; ++minute) {
        const double minuteLevel = level + (random.bounded(80) - 40) / 10.0;
        energy += std::pow(10.0, minuteLevel / 10.0);
        loudest = std::max(loudest, minuteLevel);
        // Nothing counts below 80 dBA.
        if (minuteLevel >= 80.0) {
            dose += 100.0 * dsp::dose::doseFraction(minuteLevel, 60.0);
        }
        session.readings.append({start.addSecs((minute + 1) * 60), minuteLevel, dose,
                                 minuteLevel + 3.0 + random.bounded(50) / 10.0});
    }
    session.averageSPL = 10.0 * std::log10(energy / minutes);
    session.peakSPL = loudest + random.bounded(40) / 10.0;
    session.peakDBC = std::min(134.6, level + 34.0 + random.bounded(120) / 10.0);
    if (session.peakDBC >= 134.0 && random.bounded(3) == 0) {
        session.peakDBC = 135.0 + random.bounded(40) / 10.0;
        session.peakCount135 = 1 + random.bounded(4);
    }
    session.doseAccumulated = dose;
    return session;
}

// Newest first, as the history keeps them; today only holds sessions that ended by `now`.
inline QList<models::Session> generatedHistory(const QDateTime& now, const QTimeZone& zone,
                                               const GeneratedHistoryOptions& options = {}) {
    static const QStringList workstations{QStringLiteral("REAPER"), QStringLiteral("Bitwig Studio"),
                                          QStringLiteral("Ardour"), QStringLiteral("Ableton Live")};
    QRandomGenerator random(options.seed);
    const QDate today = now.toTimeZone(zone).date();
    QList<models::Session> sessions;
    for (int back = options.days - 1; back >= 0; --back) {
        const QDate day = today.addDays(-back);
        const bool weekend = day.dayOfWeek() >= 6;
        if (random.bounded(100) >= (weekend ? 25 : 85) && back != options.loudDayBack) {
            continue;
        }
        const int count = 1 + random.bounded(3);
        QDateTime start(day, QTime(9, random.bounded(60)), zone);
        for (int index = 0; index < count; ++index) {
            const int minutes = 35 + random.bounded(140);
            const double level = 74.0 + random.bounded(140) / 10.0;
            const QString& workstation = workstations[random.bounded(static_cast<int>(workstations.size()))];
            models::Session session = generatedSession(random, workstation, start, minutes, level);
            if (back == options.loudDayBack && index == 0) {
                session.peakDBC = 140.6;
                session.peakCount140 = 2;
                session.peakCount135 = 5;
                session.peakSPL = 116.2;
                session.peakDBACount115 = 1;
            }
            if (*session.endDate > now) {
                break;
            }
            sessions.prepend(session);
            start = session.endDate->addSecs(60 * (20 + random.bounded(90)));
        }
    }
    return sessions;
}

} // namespace kavro::testing
