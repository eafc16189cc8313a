// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/Session.h"

#include <QList>
#include <QString>
#include <QTimeZone>

#include <functional>

namespace kavro::models {

// The CSV export of sessions: one header line and one line per completed session,
// oldest first, numbers always with a full stop whatever the user's locale.
namespace csv {

inline constexpr const char* kHeader = "Date,DAW,Start,End,Duration (min),Avg dBA,Peak dBA,Peak dBC,"
                                       "Impulses ≥135 dBC,Impulses ≥140 dBC,Peaks ≥115 dBA,Dose %";

// Dates and times are shown in `zone`; `now` ends the duration of a session without an
// end date (such sessions are left out today, but the column keeps its rule).
QString csvString(const QList<Session>& sessions, const QTimeZone& zone, const QDateTime& now);

// A column after the standard ones, for an export that asks for more.
struct ExtraColumn {
    QString header;
    std::function<QString(const Session&)> value;
};

struct Options {
    QTimeZone zone;
    QDateTime now;
    // The Date column names the user's day the session started on (DayBoundary.h).
    int dayStartMinutes = 0;
    QList<ExtraColumn> extraColumns;
};

QString csvString(const QList<Session>& sessions, const Options& options);

// The optional extended export: every exposure criterion, then the calibration each
// session was measured with and its source (microphone, or an output and its profile).
QList<ExtraColumn> extendedColumns();

// A workstation name as one CSV field: quoted when it holds a comma, a double quote or
// a line break, with inner double quotes doubled so that the row stays intact.
QString dawField(const QString& name);

} // namespace csv
} // namespace kavro::models
