// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>

namespace kavro::dsp {

// b0, b1, b2, a1, a2 and z1, z2 of one section, as WeightingFilter keeps them.
using SectionValues = std::array<double, 5>;
using SectionState = std::array<double, 2>;

// Whether avxWeightingKernel is to be used: the processor has AVX2 (x86-64) and it has
// not been switched off.
bool hasAvxWeightingKernel();
// Switches the kernel off (and on again where the processor has it), so that the
// portable path can be checked on any machine.
void setAvxWeightingKernelEnabled(bool enabled);

// The A (high-pass, high-pass, low-pass, low-pass; four sections) and C (high-pass,
// low-pass; two sections) cascades of the usual rates over one buffer, with AVX2, giving
// the very bits of the scalar steps. Carries the states across calls like
// WeightingFilter::process. Also gives the sums of squares and the peaks of the two
// outputs (A first), with the bits of level::measurePair. Call it only where
// hasAvxWeightingKernel() is true.
void avxWeightingKernel(const SectionValues* a, SectionState* aStates, const SectionValues* c,
                        SectionState* cStates, const float* input, float* outA, float* outC,
                        std::size_t frames, double* sumSquares, float* peaks);

} // namespace kavro::dsp
