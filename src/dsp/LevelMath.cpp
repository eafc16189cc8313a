#include "dsp/LevelMath.h"

#include <algorithm>
#include <cmath>

namespace kavro::dsp::level {

double rms(std::span<const float> samples) {
    if (samples.empty()) {
        return 0.0;
    }
    double sum = 0.0;
    for (const float sample : samples) {
        const double x = sample;
        sum += x * x;
    }
    return std::sqrt(sum / static_cast<double>(samples.size()));
}

float peak(std::span<const float> samples) {
    float largest = 0.0f;
    for (const float sample : samples) {
        const float magnitude = std::fabs(sample);
        if (magnitude > largest) {
            largest = magnitude;
        }
    }
    return largest;
}

double smoothingInputDb(double rmsValue, double calibrationOffset) {
    if (!(rmsValue > kRmsFloor)) {
        return 0.0;
    }
    const double levelDb = 20.0 * std::log10(rmsValue) + calibrationOffset;
    if (levelDb >= kSmoothingInputCapDb) {
        return kSmoothingInputCapDb;
    }
    return levelDb < 0.0 ? 0.0 : levelDb;
}

double peakDb(float peakValue, double calibrationOffset) {
    if (!(peakValue > kPeakFloor)) {
        return 0.0;
    }
    const double levelDb = 20.0 * std::log10(static_cast<double>(peakValue)) + calibrationOffset;
    return std::clamp(levelDb, 0.0, kPeakCapDb);
}

} // namespace kavro::dsp::level
