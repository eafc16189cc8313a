// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace kavro::models {

// What Kavro knows of one output device and port: the level in dB SPL that a full-scale
// RMS signal produces at the ear with the system volume at 100 %, how that figure was
// found and when. Found again at the next launch by its key (the sink's name, '#', the
// active port's name).
struct OutputProfile {
    enum class Basis {
        estimated, // nothing known: the conservative default
        dataSheet, // headphone sensitivity and the interface's maximum output
        typed,     // the reference typed in
        measured,  // pink noise through the output, read by a calibrated microphone
    };

    QString key;
    QString displayName;
    double fullScaleDbSpl = 0;
    Basis basis = Basis::typed;
    QDateTime setAt;

    bool operator==(const OutputProfile&) const = default;

    // How a person reads the basis: "estimated", "data sheet", "typed", "measured".
    static QString basisText(Basis basis);

    // Why a reference cannot be true, or none when it can.
    static std::optional<QString> referenceProblem(double fullScaleDbSpl);

    QJsonObject toJson() const;
    // None when a key is missing or of the wrong kind, or the reference is impossible.
    static std::optional<OutputProfile> fromJson(const QJsonObject& object);

    // The stored form: a compact UTF-8 JSON array.
    static QByteArray encodeList(const QList<OutputProfile>& profiles);
    // Every entry that reads; a damaged entry (or a damaged text) costs only itself, and
    // a key met twice keeps its first entry.
    static QList<OutputProfile> decodeList(const QByteArray& data);
};

} // namespace kavro::models
