// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/FrequencyCurvePoint.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>

#include <QString>

#include <cstddef>
#include <optional>
#include <variant>
#include <vector>

namespace kavro::dsp::correction {
struct Design;
}

namespace kavro::models {

// A microphone correction: the FIR taps (in the order the correlation applies them),
// the sample rate they were designed for, when the response was measured, and the
// curve the taps realise. Stored as JSON in the preferences and inside saved
// calibration profiles.
struct MicCorrectionProfile {
    // The designed filters have 128 taps; more than this is not a microphone correction
    // and would cost the capture thread a multiply-add per tap and sample.
    static constexpr std::size_t kMaxTapCount = 1024;
    // The sum of the taps' magnitudes bounds the filter's gain at every frequency. A
    // design limited to ±9 dB stays below about 12.3 after windowing and the unit-DC
    // scaling (the worst seen over adversarial gain patterns at 8 to 384 kHz); 32
    // (+30 dB) leaves room for that and still refuses filters that would turn a quiet
    // room into a deafening reading.
    static constexpr double kMaxTapMagnitudeSum = 32.0;

    std::vector<float> taps;
    double sampleRate = 0; // Hz
    QDateTime measuredDate;
    QList<FrequencyCurvePoint> correctionCurve;

    bool operator==(const MicCorrectionProfile&) const = default;

    static MicCorrectionProfile fromDesign(const dsp::correction::Design& design, double sampleRate,
                                           const QDateTime& measuredDate);

    // Why this profile cannot be a microphone correction, or none when it can: every
    // number finite, at most kMaxTapCount taps, their magnitudes summing to at most
    // kMaxTapMagnitudeSum.
    std::optional<QString> problem() const;

    // None when a value cannot be written as a finite JSON number.
    std::optional<QJsonObject> toJson() const;
    // All four members are required; unknown members are ignored; the result must have
    // no problem(). Otherwise says what is wrong.
    static std::variant<MicCorrectionProfile, QString> fromJson(const QJsonObject& object);

    // The UTF-8 JSON text (compact), or none when it cannot be encoded.
    std::optional<QByteArray> encode() const;
    static std::variant<MicCorrectionProfile, QString> decode(const QByteArray& data);
};

} // namespace kavro::models
