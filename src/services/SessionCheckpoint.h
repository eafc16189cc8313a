// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/Session.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace kavro::services {

// What the program must find after it was killed, crashed or lost power, kept in a
// small file beside the history: the running session as it stood at the last
// checkpoint, with the sums behind its average and the day's dose at that moment, and
// completed sessions that could not be saved into the history. JSON, dates in the
// history file's form.
struct SessionCheckpoint {
    static inline const QString kFileName = QStringLiteral("running-session.json");

    struct Running {
        // The record without its end.
        models::Session session;
        // The moment of the checkpoint on the session's own clock; a session closed from
        // here ends at this moment.
        QDateTime savedAt;
        std::int64_t sampleCount = 0;
        double energySum = 0;
        double measuredSeconds = 0;
        // The day's dose and its mark at the session's start, as fractions of the allowance.
        double accumulatedDose = 0;
        double sessionStartDose = 0;

        // The running session as it is stored when closed at the checkpoint: ended then,
        // with the dose it had accrued by then.
        models::Session closedAtCheckpoint() const;

        friend bool operator==(const Running&, const Running&) = default;
    };

    std::optional<Running> running;
    QList<models::Session> unsaved;

    bool isEmpty() const { return !running && unsaved.isEmpty(); }

    // The latest moment it names: the checkpoint's time and every date of the sessions it
    // holds. None when it holds nothing.
    std::optional<QDateTime> latestDate() const;

    // Fails, naming the session, when a value has no form in the file (a number that is
    // not finite, a date beyond the years 1 to 9999).
    std::variant<QByteArray, QString> encode() const;
    static std::variant<SessionCheckpoint, QString> decode(const QByteArray& bytes);

    friend bool operator==(const SessionCheckpoint&, const SessionCheckpoint&) = default;
};

} // namespace kavro::services
