// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <vector>

namespace kavro::ui {

// The data of the weighting-curves picture: the magnitude response of the program's
// own A- and C-weighting filters (the very biquads that weight every capture buffer),
// designed for 48 kHz, on a logarithmic frequency axis from 10 Hz to 20 kHz. Drawing
// it from the filters means the picture can never disagree with what is measured.
class WeightingCurves {
public:
    enum class Curve { a, c };

    struct Point {
        double frequency; // Hz
        double gainDb;
    };

    struct Tick {
        double value; // Hz or dB
        QString label;
    };

    static constexpr double kSampleRate = 48000.0;
    static constexpr double kMinimumFrequency = 10.0;
    static constexpr double kMaximumFrequency = 20000.0;
    static constexpr double kMinimumGainDb = -50.0;
    static constexpr double kMaximumGainDb = 5.0;
    static constexpr int kPointCount = 240;

    // The filter's response at one frequency.
    static double responseDb(Curve curve, double frequency);
    // kPointCount points, evenly spaced on the logarithmic axis, ends included.
    static const std::vector<Point>& series(Curve curve);
    // "A-weighting (dBA)" and "C-weighting (dBC)".
    static QString label(Curve curve);

    // Grid lines with labels: 10, 100, 1k, 10k Hz (and unlabelled lines between).
    static const std::vector<Tick>& frequencyTicks();
    // −50 … 0 dB every 10 dB.
    static const std::vector<Tick>& gainTicks();
};

} // namespace kavro::ui
