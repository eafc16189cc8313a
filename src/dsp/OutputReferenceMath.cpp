// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/OutputReferenceMath.h"

#include "dsp/AWeightingFilter.h"
#include "dsp/PinkNoiseGenerator.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace kavro::dsp::outputReference {

namespace {

constexpr double kMilliwatt = 0.001;

} // namespace

double voltsFromDbu(double dbu) {
    return kDbuReferenceVolts * std::pow(10.0, dbu / 20.0);
}

double dbuFromVolts(double volts) {
    return 20.0 * std::log10(volts / kDbuReferenceVolts);
}

double perVoltFromPerMilliwatt(double sensitivityPerMilliwattDb, double impedanceOhms) {
    return sensitivityPerMilliwattDb - 10.0 * std::log10(kMilliwatt * impedanceOhms);
}

double fromSensitivity(double sensitivityPerVoltDb, double maximumOutputVolts) {
    return sensitivityPerVoltDb + 20.0 * std::log10(maximumOutputVolts) + kFullScaleSineCrestDb;
}

double fromMeasurement(double measuredDbSpl, double signalLevelDb, double volumeDb) {
    return measuredDbSpl - signalLevelDb - volumeDb;
}

double pinkNoiseWeightedLevelDb(double sampleRate) {
    // Ten seconds after one second of settling hold the noise's level to well within
    // 0.1 dB; the generator's sequence is fixed, so the figure is too.
    constexpr std::size_t kBlockFrames = 1024;
    const auto blocksPerSecond = static_cast<std::size_t>(sampleRate) / kBlockFrames + 1;
    const std::size_t settlingBlocks = blocksPerSecond;
    const std::size_t measuredBlocks = 10 * blocksPerSecond;
    PinkNoiseGenerator generator;
    AWeightingFilter weighting(sampleRate);
    std::array<float, kBlockFrames> block{};
    double sumSquares = 0;
    for (std::size_t index = 0; index < settlingBlocks + measuredBlocks; ++index) {
        for (float& sample : block) {
            sample = generator.next();
        }
        weighting.process(block);
        if (index >= settlingBlocks) {
            for (const float sample : block) {
                sumSquares += static_cast<double>(sample) * sample;
            }
        }
    }
    return 10.0 * std::log10(sumSquares / static_cast<double>(measuredBlocks * kBlockFrames));
}

} // namespace kavro::dsp::outputReference
