// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace kavro::ui {

// The colours the history window gives its values, as roles: the view turns them into
// its palette's colours. The dose bands are green, yellow, orange and red.
enum class HistoryColour { clear, green, yellow, orange, red, secondary, secondaryHalfOpacity };

// The colour rules of the window's values. Every boundary belongs to the upper band.

// A dose percentage: the four dose bands.
HistoryColour doseColour(double percent);
// A day of the calendar: nothing for a future day or a day without dose.
HistoryColour calendarDayColour(double percent, bool isFuture);
// The dose in the chart's header: quiet for a day without dose.
HistoryColour chartHeaderDoseColour(double percent);
// The EU weekly exposure level against the lower and upper exposure action values.
HistoryColour euWeeklyColour(std::optional<double> levelDb);
// The range's highest C-weighted peak against the peak action and limit values.
HistoryColour peakDBCColour(std::optional<double> peakDb);
// The number of impulses at or above the lower peak action value.
HistoryColour impulseColour(std::int64_t total);

} // namespace kavro::ui
