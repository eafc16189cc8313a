// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/CorrectionDesign.h"
#include "models/MicCorrectionProfile.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace kavro::models {

// A measurement microphone's calibration file as makers ship them: optional header
// lines (one may give the sensitivity, "Sens Factor =-1.23dB"), then one row per
// frequency, "frequency gain [phase]", the fields separated by spaces, tabs or commas
// (in files separated by spaces or tabs, a comma inside a number is its decimal mark).
// The gains are the microphone's deviation from flat, in dB.
struct MicCalibrationFile {
    std::vector<dsp::correction::DeviationPoint> points; // ascending frequency
    std::optional<double> sensitivityDB;

    struct Error {
        int line = 0; // 1-based; 0 when the problem is the file as a whole
        QString message;
    };

    // Files larger than this are refused rather than read into memory.
    static constexpr qsizetype kMaxBytes = 1 << 20;

    static std::variant<MicCalibrationFile, Error> parse(const QByteArray& contents);

    // The correction for a capture rate: the inverse of the deviation, through the same
    // limit, blends and filter design as a measured response. Says why when the design
    // fails or gives no usable filter.
    std::variant<MicCorrectionProfile, QString> toProfile(double sampleRate, const QDateTime& now) const;
};

} // namespace kavro::models
