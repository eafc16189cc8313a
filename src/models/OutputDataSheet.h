// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>
#include <variant>

namespace kavro::models {

// The figures of two data sheets that give an output's reference: the headphones'
// sensitivity (per milliwatt with their impedance, or per volt) and the interface's
// maximum output for a full-scale sine (in dBu or volts RMS).
struct OutputDataSheet {
    enum class SensitivityUnit { perMilliwatt, perVolt };
    enum class LevelUnit { dbu, voltsRms };

    double sensitivityDb = 0;
    SensitivityUnit sensitivityUnit = SensitivityUnit::perMilliwatt;
    // Needed for a sensitivity per milliwatt only.
    std::optional<double> impedanceOhms;
    double maximumOutput = 0;
    LevelUnit maximumOutputUnit = LevelUnit::dbu;

    // The reference in dB SPL for a full-scale RMS signal at 100 % volume, or why these
    // figures cannot be true.
    std::variant<double, QString> reference() const;

private:
    std::optional<QString> sensitivityProblem() const;
    std::optional<QString> maximumOutputProblem() const;
};

} // namespace kavro::models
