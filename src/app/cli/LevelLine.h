// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextStream>

namespace kavro::cli {

// One line of the level tools (levels, meter): a moment in seconds, the smoothed A- and
// C-weighted levels then, and the highest peaks since the line before, as
// "   12.0 s    82.3 dBA    88.1 dBC   peak   95.2 dBA   101.0 dBC", or with `json` one
// compact object with the keys t, dBA, dBC, peakDBA and peakDBC.
void printLevelLine(QTextStream& out, bool json, double seconds, double dBA, double dBC, double peakDBA,
                    double peakDBC);

} // namespace kavro::cli
