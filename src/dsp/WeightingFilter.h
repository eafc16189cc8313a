// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/LevelMath.h"

#include <array>
#include <span>
#include <vector>

namespace kavro::dsp {

// A cascade of second-order IIR sections in transposed direct form II, designed by
// the bilinear transform and normalised to unit gain at 1 kHz. The A- and C-weighting
// filters differ only in which sections they add; everything else lives here.
//
// The arithmetic is fixed: each section runs in double precision and its output is
// rounded to 32-bit float before the next section reads it.
class WeightingFilter {
public:
    // b0, b1, b2, a1, a2 (a0 is 1 and not stored).
    using Coefficients = std::array<double, 5>;
    // z1, z2.
    using State = std::array<double, 2>;

    virtual ~WeightingFilter() = default;

    double sampleRate() const { return m_sampleRate; }
    const std::vector<Coefficients>& coefficients() const { return m_coefficients; }
    const std::vector<State>& states() const { return m_states; }

    // Redesigns for a new rate with zero state; the same rate keeps coefficients and state.
    void updateSampleRate(double rate);
    // Zeroes every section's state; the coefficients stay.
    void reset();
    // Filters in place, section by section over the whole buffer, carrying state across calls.
    void process(std::span<float> samples);

    // Magnitude of the designed response at a frequency, for tests and diagnostics.
    double magnitudeAt(double frequencyHz) const;

    // The highest rate at which the exact design has no stable section for the 12194 Hz
    // pole: twice that pole frequency.
    static constexpr double kLowestExactRate = 24388.434;

protected:
    explicit WeightingFilter(double sampleRate) : m_sampleRate(sampleRate) {}

    // Appends the sections for m_sampleRate to an empty cascade; called by the
    // constructors of the concrete filters and by updateSampleRate.
    virtual void design() = 0;

    void addHighPass2(double angularFrequency, double fs);
    void addHighPass1(double angularFrequency, double fs);
    void addLowPass1(double angularFrequency, double fs);
    void addLowPass2(double angularFrequency, double fs);
    void applyGainNormalization(double fs);

private:
    friend void processInterleaved(WeightingFilter& first, WeightingFilter& second,
                                   std::span<const float> input, std::span<float> firstOutput,
                                   std::span<float> secondOutput);
    friend void processInterleaved(WeightingFilter& first, WeightingFilter& second,
                                   std::span<const float> input, std::span<float> firstOutput,
                                   std::span<float> secondOutput, level::BufferStatistics& firstStatistics,
                                   level::BufferStatistics& secondStatistics);

    void addSection(const Coefficients& coefficients);

    std::vector<Coefficients> m_coefficients;
    std::vector<State> m_states;
    double m_sampleRate;
};

// Filters one input through two cascades at once (first → firstOutput, second →
// secondOutput), sample by sample with the sections of both interleaved, so that the
// processor overlaps their recursions. The float rounding between sections is per
// sample, so the output is bit-identical to copying the input and calling process()
// on each cascade. The outputs must be at least as long as the input.
void processInterleaved(WeightingFilter& first, WeightingFilter& second, std::span<const float> input,
                        std::span<float> firstOutput, std::span<float> secondOutput);
// The same, with the energy and peak of both outputs as level::measurePair gives them
// (worked out on the way where the processor allows, which saves a pass).
void processInterleaved(WeightingFilter& first, WeightingFilter& second, std::span<const float> input,
                        std::span<float> firstOutput, std::span<float> secondOutput,
                        level::BufferStatistics& firstStatistics, level::BufferStatistics& secondStatistics);

// IEC 61672-1 pole frequencies, as angular frequencies (2π f).
namespace weighting {
inline constexpr double kOmega1 = 129.42731529303637; // 20.598997 Hz
inline constexpr double kOmega2 = 676.4015487589464;  // 107.65265 Hz
inline constexpr double kOmega3 = 4636.125122258764;  // 737.86223 Hz
inline constexpr double kOmega4 = 76618.52508695953;  // 12194.217 Hz
} // namespace weighting

} // namespace kavro::dsp
