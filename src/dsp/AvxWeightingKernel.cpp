// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/AvxWeightingKernel.h"

#include <atomic>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KAVRO_AVX_KERNEL 1
// Only these functions use AVX2; the rest of the program stays portable x86-64.
#define KAVRO_AVX2 __attribute__((target("avx2")))
#endif

namespace kavro::dsp {

#if defined(KAVRO_AVX_KERNEL)

namespace {

// The A cascade (high-pass f1, high-pass f4, low-pass f2, low-pass f3) runs in the four
// lanes of one register, last section in lane 0, and the C cascade (high-pass f1,
// low-pass f4) in the two lanes of another. Each section works two samples behind the
// one before it: what a section reads was rounded two steps earlier, so no step waits
// on another lane's result of the step just before, and only each section's own
// recursion sets the pace.
constexpr int kSkew = 2;
constexpr int kDepthA = 3 * kSkew; // the last A section is this many samples behind the input
constexpr int kDepthC = kSkew;

// One sample per lane through a section, with exactly the operations of the scalar
// steps in WeightingFilter.cpp: p = b0·x; y = z1 + p; z1 ← z2 + (c·p − a1·y) with c
// = −2 (second-order high-pass), 2 (second-order low-pass) or 1 (first-order
// low-pass), all exact scalings; z2 ← p − a2·y, or for first-order lanes the signed
// zero copysign(0, x) − copysign(0, y), taken as (p ∧ sign) − ((1·y) ∧ sign).
struct LanesA {
    __m256d b0, c, a1, a2, mask;
    __m256d z1, z2;
};
struct LanesC {
    __m128d b0, c, a1, a2;
    __m128d z1, z2;
};

KAVRO_AVX2 inline __m256d stepA(LanesA& s, __m256d x, __m256d active) {
    const __m256d p = _mm256_mul_pd(s.b0, x);
    const __m256d y = _mm256_add_pd(s.z1, p);
    const __m256d z1 = _mm256_add_pd(s.z2, _mm256_sub_pd(_mm256_mul_pd(s.c, p), _mm256_mul_pd(s.a1, y)));
    const __m256d z2 = _mm256_sub_pd(_mm256_and_pd(p, s.mask), _mm256_and_pd(_mm256_mul_pd(s.a2, y), s.mask));
    s.z1 = _mm256_blendv_pd(s.z1, z1, active);
    s.z2 = _mm256_blendv_pd(s.z2, z2, active);
    return y;
}

KAVRO_AVX2 inline __m256d stepA(LanesA& s, __m256d x) {
    const __m256d p = _mm256_mul_pd(s.b0, x);
    const __m256d y = _mm256_add_pd(s.z1, p);
    s.z1 = _mm256_add_pd(s.z2, _mm256_sub_pd(_mm256_mul_pd(s.c, p), _mm256_mul_pd(s.a1, y)));
    s.z2 = _mm256_sub_pd(_mm256_and_pd(p, s.mask), _mm256_and_pd(_mm256_mul_pd(s.a2, y), s.mask));
    return y;
}

KAVRO_AVX2 inline __m128d stepC(LanesC& s, __m128d x) {
    const __m128d p = _mm_mul_pd(s.b0, x);
    const __m128d y = _mm_add_pd(s.z1, p);
    s.z1 = _mm_add_pd(s.z2, _mm_sub_pd(_mm_mul_pd(s.c, p), _mm_mul_pd(s.a1, y)));
    s.z2 = _mm_sub_pd(p, _mm_mul_pd(s.a2, y));
    return y;
}

KAVRO_AVX2 inline __m128d stepC(LanesC& s, __m128d x, __m128d active) {
    const __m128d z1 = s.z1, z2 = s.z2;
    const __m128d y = stepC(s, x);
    s.z1 = _mm_blendv_pd(z1, s.z1, active);
    s.z2 = _mm_blendv_pd(z2, s.z2, active);
    return y;
}

// All ones in the lanes whose sample lies inside the buffer at step i.
KAVRO_AVX2 inline __m256d activeA(std::ptrdiff_t i, std::ptrdiff_t n) {
    const __m256i sample = _mm256_sub_epi64(_mm256_set1_epi64x(i), _mm256_set_epi64x(0, 2, 4, 6));
    const __m256i started = _mm256_cmpgt_epi64(sample, _mm256_set1_epi64x(-1));
    const __m256i notEnded = _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), sample);
    return _mm256_castsi256_pd(_mm256_and_si256(started, notEnded));
}

KAVRO_AVX2 inline __m128d activeC(std::ptrdiff_t i, std::ptrdiff_t n) {
    const __m128i sample = _mm_sub_epi64(_mm_set1_epi64x(i), _mm_set_epi64x(kSkew, 0));
    const __m128i started = _mm_cmpgt_epi64(sample, _mm_set1_epi64x(-1));
    const __m128i notEnded = _mm_cmpgt_epi64(_mm_set1_epi64x(n), sample);
    return _mm_castsi128_pd(_mm_and_si128(started, notEnded));
}

struct Pipeline {
    LanesA a;
    LanesC c;
    // The running sums of squares and the peaks of the finished outputs: A in lane 0, C
    // in lane 1, summed in sample order as level::measurePair does.
    __m128d sums;
    __m128 peaks;
};

// The rounded outputs of one step, as floats: the A lanes and the C lanes. Step i reads
// those of step i − 2 and leaves its own in their place.
struct Rounded {
    __m128 a;
    __m128 c;
};

// Step i of the pipeline: the input sample i (or nothing past the end), the sections
// on their samples, the finished outputs stored. Masked steps are those at the start
// and the end of the buffer, where some lanes have no sample and keep their state.
template <bool Masked>
KAVRO_AVX2 inline void pipelineStep(Pipeline& pipe, Rounded& rounded, const float* input, float* outA,
                                    float* outC, std::ptrdiff_t i, std::ptrdiff_t n) {
    const __m128 sample = Masked && i >= n ? _mm_setzero_ps() : _mm_broadcast_ss(input + i);
    // Lane k reads lane k+1's output of two steps ago; the first section reads the input.
    const __m256d xA = _mm256_cvtps_pd(
        _mm_castsi128_ps(_mm_alignr_epi8(_mm_castps_si128(sample), _mm_castps_si128(rounded.a), 4)));
    const __m128d xC = _mm_cvtps_pd(_mm_unpacklo_ps(sample, rounded.c));
    __m256d yA;
    __m128d yC;
    if constexpr (Masked) {
        yA = stepA(pipe.a, xA, activeA(i, n));
        yC = stepC(pipe.c, xC, activeC(i, n));
    } else {
        yA = stepA(pipe.a, xA);
        yC = stepC(pipe.c, xC);
    }
    rounded.a = _mm256_cvtpd_ps(yA);
    rounded.c = _mm_cvtpd_ps(yC);
    // The last A section's output in lane 0, the last C section's in lane 1.
    const __m128 outputs = _mm_blend_ps(rounded.a, rounded.c, 0b0010);
    const __m128d widened = _mm_cvtps_pd(outputs);
    const __m128d sums = _mm_add_pd(pipe.sums, _mm_mul_pd(widened, widened));
    // maxps keeps its second operand unless the first is greater, as the scalar rule.
    const __m128 peaks =
        _mm_max_ps(_mm_and_ps(outputs, _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff))), pipe.peaks);
    if constexpr (Masked) {
        const bool doneA = i - kDepthA >= 0 && i - kDepthA < n;
        const bool doneC = i - kDepthC >= 0 && i - kDepthC < n;
        const __m128i done = _mm_set_epi64x(doneC ? -1 : 0, doneA ? -1 : 0);
        pipe.sums = _mm_blendv_pd(pipe.sums, sums, _mm_castsi128_pd(done));
        pipe.peaks = _mm_blendv_ps(pipe.peaks, peaks, _mm_castsi128_ps(_mm_shuffle_epi32(done, 0b10001000)));
        if (doneA) {
            _mm_store_ss(outA + (i - kDepthA), outputs);
        }
        if (doneC) {
            outC[i - kDepthC] = _mm_cvtss_f32(_mm_movehdup_ps(outputs));
        }
    } else {
        pipe.sums = sums;
        pipe.peaks = peaks;
        // Lanes 1 to 3 land on later outputs, which later steps overwrite.
        _mm_storeu_ps(outA + (i - kDepthA), rounded.a);
        outC[i - kDepthC] = _mm_cvtss_f32(_mm_movehdup_ps(outputs));
    }
}

KAVRO_AVX2 __m256d lanes(double a1, double a2, double a3, double a4) {
    return _mm256_set_pd(a1, a2, a3, a4); // lane 3 is the first section
}

} // namespace

namespace {
std::atomic<bool> avxKernelEnabled{true};
} // namespace

bool hasAvxWeightingKernel() {
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported && avxKernelEnabled.load(std::memory_order_relaxed);
}

void setAvxWeightingKernelEnabled(bool enabled) {
    avxKernelEnabled.store(enabled, std::memory_order_relaxed);
}

KAVRO_AVX2 void avxWeightingKernel(const SectionValues* a, SectionState* aStates, const SectionValues* c,
                                   SectionState* cStates, const float* input, float* outA, float* outC,
                                   std::size_t frames, double* sumSquares, float* peaks) {
    const auto n = static_cast<std::ptrdiff_t>(frames);
    Pipeline pipe;
    pipe.sums = _mm_setzero_pd();
    pipe.peaks = _mm_setzero_ps();
    const __m256d sign = _mm256_set1_pd(-0.0);
    const __m256d ones = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    // A: high-pass, high-pass, low-pass (first order), low-pass (first order).
    pipe.a.b0 = lanes(a[0][0], a[1][0], a[2][0], a[3][0]);
    pipe.a.c = lanes(-2.0, -2.0, 1.0, 1.0);
    pipe.a.a1 = lanes(a[0][3], a[1][3], a[2][3], a[3][3]);
    pipe.a.a2 = lanes(a[0][4], a[1][4], 1.0, 1.0);
    pipe.a.mask = _mm256_blend_pd(sign, ones, 0b1100);
    pipe.a.z1 = lanes(aStates[0][0], aStates[1][0], aStates[2][0], aStates[3][0]);
    pipe.a.z2 = lanes(aStates[0][1], aStates[1][1], aStates[2][1], aStates[3][1]);
    // C: high-pass in lane 0, low-pass in lane 1.
    pipe.c.b0 = _mm_set_pd(c[1][0], c[0][0]);
    pipe.c.c = _mm_set_pd(2.0, -2.0);
    pipe.c.a1 = _mm_set_pd(c[1][3], c[0][3]);
    pipe.c.a2 = _mm_set_pd(c[1][4], c[0][4]);
    pipe.c.z1 = _mm_set_pd(cStates[1][0], cStates[0][0]);
    pipe.c.z2 = _mm_set_pd(cStates[1][1], cStates[0][1]);
    Rounded rounded[2] = {{_mm_setzero_ps(), _mm_setzero_ps()}, {_mm_setzero_ps(), _mm_setzero_ps()}};

    // Steps 0 to kDepthA − 1 fill the pipeline and the last kDepthA steps drain it.
    const std::ptrdiff_t end = n + kDepthA;
    std::ptrdiff_t i = 0;
    for (; i < kDepthA; ++i) {
        pipelineStep<true>(pipe, rounded[i & 1], input, outA, outC, i, n);
    }
    Rounded even = rounded[0], odd = rounded[1];
    for (; i + 1 < n; i += 2) {
        pipelineStep<false>(pipe, even, input, outA, outC, i, n);
        pipelineStep<false>(pipe, odd, input, outA, outC, i + 1, n);
    }
    rounded[0] = even;
    rounded[1] = odd;
    for (; i < end; ++i) {
        pipelineStep<true>(pipe, rounded[i & 1], input, outA, outC, i, n);
    }

    alignas(32) double z1[4], z2[4];
    _mm256_store_pd(z1, pipe.a.z1);
    _mm256_store_pd(z2, pipe.a.z2);
    for (int k = 0; k < 4; ++k) {
        aStates[k] = {z1[3 - k], z2[3 - k]};
    }
    _mm_store_pd(z1, pipe.c.z1);
    _mm_store_pd(z2, pipe.c.z2);
    cStates[0] = {z1[0], z2[0]};
    cStates[1] = {z1[1], z2[1]};
    _mm_storeu_pd(sumSquares, pipe.sums);
    alignas(16) float peakLanes[4];
    _mm_store_ps(peakLanes, pipe.peaks);
    peaks[0] = peakLanes[0];
    peaks[1] = peakLanes[1];
}

#else

bool hasAvxWeightingKernel() {
    return false;
}

void setAvxWeightingKernelEnabled(bool) {}

void avxWeightingKernel(const SectionValues*, SectionState*, const SectionValues*, SectionState*,
                        const float*, float*, float*, std::size_t) {}

#endif

} // namespace kavro::dsp
