#pragma once

#include <QTextStream>

namespace kavro::cli {

// One line of the level tools (levels, meter): a moment, the smoothed A- and C-weighted
// levels then, and the highest peaks since the line before.
struct LevelLine {
    double seconds = 0;
    double dBA = 0;
    double dBC = 0;
    double peakDBA = 0;
    double peakDBC = 0;

    // Writes "   12.0 s    82.3 dBA    88.1 dBC   peak   95.2 dBA   101.0 dBC", or with
    // `json` one compact object with the keys t, dBA, dBC, peakDBA and peakDBC.
    void print(QTextStream& out, bool json) const;
};

} // namespace kavro::cli
