// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/CalibrationRecord.h"
#include "models/SPLReading.h"

#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <variant>

namespace kavro::models {

class IndentedJsonWriter;

// One listening session, from the launch of a workstation (or a start by hand) to its
// end. Only completed sessions, those with an end date, are kept in the history.
struct Session {
    // The name of a session started by hand from the panel.
    static inline const QString kManualSessionName = QStringLiteral("Manual Session");

    QUuid id;
    QDateTime startDate;
    std::optional<QDateTime> endDate;
    QString dawName;
    double averageSPL = 0;
    double peakSPL = 0;
    double doseAccumulated = 0;
    QList<SPLReading> readings;
    double peakDBC = 0;
    std::int64_t peakCount135 = 0;
    std::int64_t peakCount140 = 0;
    std::int64_t peakDBACount115 = 0;
    // Time within the session in which nothing was measured because the input was gone
    // (a sound server restart, a suspend, a microphone unplugged), in seconds.
    double unmeasuredSeconds = 0;
    // The calibration the session was measured with, and the input it was measured on;
    // none in files written before sessions carried it.
    std::optional<CalibrationRecord> calibration;
    // What the other exposure criteria counted during the session: the A-weighted sound
    // exposure in Pa²h and the two OSHA doses in percent of their daily allowance.
    double soundExposure = 0;
    double oshaPelDose = 0;
    double oshaHearingConservationDose = 0;
    // Set when the level came from what went to an output (headphones, speakers) rather
    // than from the microphone: the output profile's name and whether its level was
    // only the conservative estimate.
    struct OutputSource {
        QString profile;
        bool estimated = true;
        friend bool operator==(const OutputSource&, const OutputSource&) = default;
    };
    std::optional<OutputSource> output;

    // A fresh session starting now: a random id, no end, every statistic 0.
    static Session create(const QString& dawName, const QDateTime& now);

    bool isCompleted() const { return endDate.has_value(); }
    // "42m" below an hour, "1h 5m" from an hour on; a running session counts up to `now`.
    QString durationFormatted(const QDateTime& now) const;
    // Seconds from the start to the end, or to `now` while running; never less than 0.
    double durationSeconds(const QDateTime& now) const;
    // The sound exposure in Pa²h. A session stored before it was counted gives it from
    // its LAeq over its measured time: its LAeq is exact and the measured time is at most
    // that, so the estimate is never lower than the truth.
    double soundExposureOrEstimate() const;

    // Every key, in the order of the fields; "endDate" is left out, not written as null,
    // while the session runs, "unmeasuredSeconds" and the criteria's figures while they
    // are 0, so that a session measured throughout is written as before; "source",
    // "outputProfile" and "outputEstimated" only for a session measured from an output.
    // Infinities and not-a-number have no JSON form: the writer then reports failure.
    void writeJson(IndentedJsonWriter& writer) const;
    // Keys added after the first release ("endDate", "peakDBC", the three counters,
    // "unmeasuredSeconds", the criteria's figures, the output keys) may be missing or
    // null; without "source": "output" the session was measured by the microphone; an
    // unreadable "calibration" reads as none; every other key is required; unknown keys
    // are ignored. The error names the offending key (and the reading, for a bad reading).
    static std::variant<Session, QString> fromJson(const QJsonObject& object);

    friend bool operator==(const Session&, const Session&) = default;
};

// "Xh Ym" with the hours always shown, for a total of whole seconds.
QString hoursAndMinutesText(std::int64_t seconds);

} // namespace kavro::models
