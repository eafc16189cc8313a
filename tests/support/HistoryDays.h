// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Days and completed sessions for the tests of the history range and its presentation:
// a fixed Friday in a time zone with daylight saving, so that day boundaries are not UTC's.
#include "models/Session.h"

#include <QDate>
#include <QDateTime>
#include <QTimeZone>

namespace kavro::testing {

inline const QTimeZone kBerlin("Europe/Berlin");
inline const QDate kToday(2025, 3, 14); // a Friday

inline QDateTime berlin(QDate day, int hour, int minute = 0) {
    return QDateTime(day, QTime(hour, minute), kBerlin);
}

inline models::Session completedSession(const QDateTime& start, double dose, int minutes = 30,
                                        const QString& name = QStringLiteral("Reaper")) {
    models::Session session = models::Session::create(name, start);
    session.endDate = start.addSecs(minutes * 60);
    session.doseAccumulated = dose;
    return session;
}

} // namespace kavro::testing
