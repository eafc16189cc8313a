// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/OutputDataSheet.h"

#include "dsp/OutputReferenceMath.h"
#include "models/NumberText.h"
#include "models/OutputProfile.h"

#include <cmath>

namespace kavro::models {

namespace {

using namespace dsp::outputReference;

bool within(double value, double lowest, double highest) {
    return std::isfinite(value) && value >= lowest && value <= highest;
}

// "must lie between 60 and 140 dB SPL/mW"
QString rangeText(double lowest, double highest, int decimals, const QString& unit) {
    return QStringLiteral("must lie between %1 and %2 %3")
        .arg(fixedText(lowest, decimals), fixedText(highest, decimals), unit);
}

} // namespace

std::optional<QString> OutputDataSheet::sensitivityProblem() const {
    const bool perMilliwatt = sensitivityUnit == SensitivityUnit::perMilliwatt;
    const QString unit = perMilliwatt ? QStringLiteral("dB SPL/mW") : QStringLiteral("dB SPL/V");
    const double lowest = perMilliwatt ? kMinimumSensitivityPerMilliwattDb : kMinimumSensitivityPerVoltDb;
    const double highest = perMilliwatt ? kMaximumSensitivityPerMilliwattDb : kMaximumSensitivityPerVoltDb;
    if (!within(sensitivityDb, lowest, highest)) {
        return QStringLiteral("the sensitivity ") + rangeText(lowest, highest, 0, unit);
    }
    if (!perMilliwatt) {
        return std::nullopt;
    }
    if (!impedanceOhms) {
        return QStringLiteral("a sensitivity in dB SPL/mW needs the headphones' impedance");
    }
    if (!within(*impedanceOhms, kMinimumImpedanceOhms, kMaximumImpedanceOhms)) {
        return QStringLiteral("the impedance ") +
               rangeText(kMinimumImpedanceOhms, kMaximumImpedanceOhms, 0, QStringLiteral("Ω"));
    }
    return std::nullopt;
}

std::optional<QString> OutputDataSheet::maximumOutputProblem() const {
    // Zero or negative volts give no finite level and fail the range like any other.
    const double dbu = maximumOutputUnit == LevelUnit::dbu ? maximumOutput : dbuFromVolts(maximumOutput);
    if (within(dbu, kMinimumMaximumOutputDbu, kMaximumMaximumOutputDbu)) {
        return std::nullopt;
    }
    if (maximumOutputUnit == LevelUnit::dbu) {
        return QStringLiteral("the maximum output ") +
               rangeText(kMinimumMaximumOutputDbu, kMaximumMaximumOutputDbu, 0, QStringLiteral("dBu"));
    }
    return QStringLiteral("the maximum output ") + rangeText(voltsFromDbu(kMinimumMaximumOutputDbu),
                                                             voltsFromDbu(kMaximumMaximumOutputDbu), 3,
                                                             QStringLiteral("V RMS"));
}

std::variant<double, QString> OutputDataSheet::reference() const {
    if (auto problem = sensitivityProblem()) {
        return *problem;
    }
    if (auto problem = maximumOutputProblem()) {
        return *problem;
    }
    const double perVolt = sensitivityUnit == SensitivityUnit::perVolt
                               ? sensitivityDb
                               : perVoltFromPerMilliwatt(sensitivityDb, *impedanceOhms);
    const double volts =
        maximumOutputUnit == LevelUnit::voltsRms ? maximumOutput : voltsFromDbu(maximumOutput);
    const double result = fromSensitivity(perVolt, volts);
    if (auto problem = OutputProfile::referenceProblem(result)) {
        return *problem;
    }
    return result;
}

} // namespace kavro::models
