// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kavro::models {

// Where a microphone response measurement stands. Two states carry a payload: the
// progress of `measuring` (0 … 1) and the message of `failed`; equality compares both.
class MicCalibrationState {
public:
    enum class Kind { Idle, Settling, Measuring, Computing, Done, Failed };

    static MicCalibrationState idle() { return MicCalibrationState(Kind::Idle); }
    static MicCalibrationState settling() { return MicCalibrationState(Kind::Settling); }
    static MicCalibrationState measuring(double progress) {
        return MicCalibrationState(Kind::Measuring, progress);
    }
    static MicCalibrationState computing() { return MicCalibrationState(Kind::Computing); }
    static MicCalibrationState done() { return MicCalibrationState(Kind::Done); }
    static MicCalibrationState failed(QString message) {
        return MicCalibrationState(Kind::Failed, 0.0, std::move(message));
    }

    MicCalibrationState() = default;

    Kind kind() const { return m_kind; }
    // Settling, measuring or computing: the measurement holds the pink noise.
    bool isRunning() const {
        return m_kind == Kind::Settling || m_kind == Kind::Measuring || m_kind == Kind::Computing;
    }
    double progress() const { return m_progress; }
    const QString& message() const { return m_message; }

    // The status line the settings window shows; empty for `idle`.
    QString text() const {
        switch (m_kind) {
        case Kind::Idle:
            return {};
        case Kind::Settling:
            return QStringLiteral("Playing pink noise — letting room settle…");
        case Kind::Measuring:
            return QStringLiteral("Capturing mic response…");
        case Kind::Computing:
            return QStringLiteral("Computing correction filter…");
        case Kind::Done:
            return QStringLiteral("Correction applied.");
        case Kind::Failed:
            return QStringLiteral("Measurement failed: ") + m_message;
        }
        return {};
    }

    bool operator==(const MicCalibrationState&) const = default;

private:
    explicit MicCalibrationState(Kind kind, double progress = 0.0, QString message = {})
        : m_kind(kind), m_progress(progress), m_message(std::move(message)) {}

    Kind m_kind = Kind::Idle;
    double m_progress = 0.0;
    QString m_message;
};

} // namespace kavro::models
