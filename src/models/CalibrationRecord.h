// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kavro::models {

class IndentedJsonWriter;

// How the level offset in use was set, when, and for which input: kept in the
// preferences for the offset in use and for the last calibrations, and stamped on every
// session so that a stored measurement says what it was measured with.
struct CalibrationRecord {
    enum class Method {
        calibrator,     // a sound calibrator on the microphone
        referenceMeter, // pink noise against the reading of another meter
        byHand,         // the slider, a typed value or a saved profile
        defaultValue,   // the 94 dB nobody set
    };

    Method method = Method::defaultValue;
    double offset = 0; // dB
    // None for the default, which nobody set.
    std::optional<QDateTime> setAt{};
    QString deviceUID{}; // empty: the system default input
    QString deviceName{};
    std::int64_t channel = 0;
    double sampleRate = 0; // Hz; 0 when not known
    // The microphone correction was on, and when it was measured.
    bool correction = false;
    std::optional<QDateTime> correctionDate{};
    // What the offset was set against: the calibrator's level or the meter's reading
    // (dB), and that reading's weighting ("A", "C" or "Z").
    std::optional<double> referenceLevel{};
    QString weighting{};

    bool operator==(const CalibrationRecord&) const = default;

    // The stored word of a method ("calibrator", "referenceMeter", "byHand", "default").
    static QString methodKey(Method method);
    // How the method reads in the windows and the terminal.
    static QString methodText(Method method);

    void writeJson(IndentedJsonWriter& writer) const;
    // "offset" and "method" are required, every other key may be missing; unknown keys
    // are ignored. None for anything else, which callers show as unknown.
    static std::optional<CalibrationRecord> fromJson(const QJsonObject& object);

    // The preference forms: one record, and a list newest first.
    QByteArray encode() const;
    static std::optional<CalibrationRecord> decode(const QByteArray& data);
    static QByteArray encodeList(const QList<CalibrationRecord>& records);
    // The records that decode, in order; an unreadable element is left out.
    static QList<CalibrationRecord> decodeList(const QByteArray& data);

    // One line for a person: "114.0 dB, sound calibrator (94.0 dB) on 2026-12-07 10:15,
    // Scarlett 2i2 channel 1, 48000 Hz, correction on (measured 2026-12-01)".
    QString describe() const;

    // The columns a session's calibration adds to an export, and their values; a
    // session without one reads "unknown" as its method and leaves the rest empty.
    static QStringList columnNames();
    static QStringList columns(const std::optional<CalibrationRecord>& record);
};

// What a session that carries no calibration shows.
inline const QString kUnknownCalibrationText = QStringLiteral("unknown");

} // namespace kavro::models
