// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryColour.h"

#include "dsp/ExposureLimits.h"
#include "models/DoseLevel.h"

namespace kavro::ui {

namespace eu = dsp::eu;

HistoryColour doseColour(double percent) {
    switch (models::doseLevelForPercentage(percent)) {
    case models::DoseLevel::safe:
        return HistoryColour::green;
    case models::DoseLevel::caution:
        return HistoryColour::yellow;
    case models::DoseLevel::warning:
        return HistoryColour::orange;
    case models::DoseLevel::danger:
        return HistoryColour::red;
    }
    return HistoryColour::red;
}

HistoryColour calendarDayColour(double percent, bool isFuture) {
    return isFuture || percent <= 0 ? HistoryColour::clear : doseColour(percent);
}

HistoryColour chartHeaderDoseColour(double percent) {
    return percent <= 0 ? HistoryColour::secondary : doseColour(percent);
}

HistoryColour euWeeklyColour(std::optional<double> levelDb) {
    if (!levelDb) {
        return HistoryColour::secondaryHalfOpacity;
    }
    if (*levelDb >= eu::kUpperActionLevelDb) {
        return HistoryColour::red;
    }
    return *levelDb >= eu::kLowerActionLevelDb ? HistoryColour::orange : HistoryColour::green;
}

HistoryColour peakDBCColour(std::optional<double> peakDb) {
    if (!peakDb) {
        return HistoryColour::secondaryHalfOpacity;
    }
    if (*peakDb >= eu::kPeakLimitDbc) {
        return HistoryColour::red;
    }
    return *peakDb >= eu::kPeakLowerActionDbc ? HistoryColour::orange : HistoryColour::secondary;
}

HistoryColour impulseColour(std::int64_t total) {
    return total > 0 ? HistoryColour::orange : HistoryColour::secondaryHalfOpacity;
}

} // namespace kavro::ui
