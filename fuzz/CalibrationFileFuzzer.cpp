// SPDX-License-Identifier: GPL-3.0-or-later
// A microphone calibration file from anywhere: parsed, and what parses designed into
// a filter at a capture rate the input picks.
#include "fuzz/Require.h"
#include "models/MicCalibrationFile.h"

#include <QTimeZone>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

using kavro::fuzz::require;
using kavro::models::MicCalibrationFile;
using kavro::models::MicCorrectionProfile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray contents(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto parsed = MicCalibrationFile::parse(contents);
    const auto* file = std::get_if<MicCalibrationFile>(&parsed);
    if (!file) {
        const auto& error = std::get<MicCalibrationFile::Error>(parsed);
        require(error.line >= 0 && !error.message.isEmpty(), "an error names its line and says why");
        return 0;
    }
    require(!file->points.empty(), "a parsed file has rows");
    double previous = 0.0;
    for (const auto& point : file->points) {
        require(std::isfinite(point.frequency) && std::isfinite(point.deviationDB), "rows are finite");
        require(point.frequency > previous, "frequencies are positive and rise");
        previous = point.frequency;
    }
    require(!file->sensitivityDB || std::isfinite(*file->sensitivityDB), "the sensitivity is finite");

    static constexpr std::array kRates{8000.0, 44100.0, 48000.0, 96000.0, 384000.0};
    static const QDateTime kNow(QDate(2025, 3, 14), QTime(9, 26, 53), QTimeZone::utc());
    const auto designed = file->toProfile(kRates[size % kRates.size()], kNow);
    if (const auto* profile = std::get_if<MicCorrectionProfile>(&designed)) {
        require(!profile->problem(), "a designed filter is a usable one");
        require(profile->encode().has_value(), "a designed filter can be stored");
    } else {
        require(!std::get<QString>(designed).isEmpty(), "a refused design says why");
    }
    return 0;
}
