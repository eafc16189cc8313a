#include "dsp/LevelMath.h"

#include <algorithm>
#include <cmath>

namespace kavro::dsp::level {

void measurePair(std::span<const float> first, std::span<const float> second, BufferStatistics& firstResult,
                 BufferStatistics& secondResult) {
    const std::size_t n = std::min(first.size(), second.size());
    double sumFirst = 0.0, sumSecond = 0.0;
    float peakFirst = 0.0f, peakSecond = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = first[i];
        const double c = second[i];
        sumFirst += a * a;
        sumSecond += c * c;
        const float magnitudeA = std::fabs(first[i]);
        const float magnitudeC = std::fabs(second[i]);
        peakFirst = magnitudeA > peakFirst ? magnitudeA : peakFirst;
        peakSecond = magnitudeC > peakSecond ? magnitudeC : peakSecond;
    }
    const double count = static_cast<double>(n);
    firstResult = {sumFirst, n ? std::sqrt(sumFirst / count) : 0.0, peakFirst};
    secondResult = {sumSecond, n ? std::sqrt(sumSecond / count) : 0.0, peakSecond};
}

double rmsLevelDb(double rmsValue, double calibrationOffset) {
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
