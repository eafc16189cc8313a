#pragma once

#include "models/FrequencyCurvePoint.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>

#include <optional>
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
    std::vector<float> taps;
    double sampleRate = 0; // Hz
    QDateTime measuredDate;
    QList<FrequencyCurvePoint> correctionCurve;

    bool operator==(const MicCorrectionProfile&) const = default;

    static MicCorrectionProfile fromDesign(const dsp::correction::Design& design, double sampleRate,
                                           const QDateTime& measuredDate);

    // None when a value cannot be written as a finite JSON number.
    std::optional<QJsonObject> toJson() const;
    // All four members are required; unknown members are ignored; numbers must be finite.
    static std::optional<MicCorrectionProfile> fromJson(const QJsonObject& object);

    // The UTF-8 JSON text (compact), or none when it cannot be encoded.
    std::optional<QByteArray> encode() const;
    static std::optional<MicCorrectionProfile> decode(const QByteArray& data);
};

} // namespace kavro::models
