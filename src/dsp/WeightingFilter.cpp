// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/WeightingFilter.h"

#include "dsp/AvxWeightingKernel.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kavro::dsp {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;

// Bilinear-transform prewarping constant of a pole at angular frequency omega.
double prewarp(double angularFrequency, double fs) {
    const double f = angularFrequency / kTwoPi;
    return std::tan(f * kPi / fs);
}

// |H(e^jw)| of one section. The sign convention of the imaginary parts does not
// matter, only the magnitudes.
double sectionMagnitude(const WeightingFilter::Coefficients& c, double w) {
    const double cosW = std::cos(w), sinW = std::sin(w);
    const double cos2W = std::cos(2.0 * w), sin2W = std::sin(2.0 * w);
    const double numRe = c[0] + c[1] * cosW + c[2] * cos2W;
    const double numIm = c[1] * sinW + c[2] * sin2W;
    const double denRe = 1.0 + c[3] * cosW + c[4] * cos2W;
    const double denIm = c[3] * sinW + c[4] * sin2W;
    return std::sqrt(numRe * numRe + numIm * numIm) / std::sqrt(denRe * denRe + denIm * denIm);
}

} // namespace

void WeightingFilter::updateSampleRate(double rate) {
    if (rate == m_sampleRate) {
        return;
    }
    m_sampleRate = rate;
    m_coefficients.clear();
    m_states.clear();
    design();
}

void WeightingFilter::reset() {
    for (auto& state : m_states) {
        state = {0.0, 0.0};
    }
}

void WeightingFilter::process(std::span<float> samples) {
    for (std::size_t section = 0; section < m_coefficients.size(); ++section) {
        const auto [b0, b1, b2, a1, a2] = m_coefficients[section];
        double z1 = m_states[section][0];
        double z2 = m_states[section][1];
        for (float& sample : samples) {
            const double x = sample;
            const double y = z1 + b0 * x;
            z1 = z2 + (b1 * x - a1 * y);
            z2 = b2 * x - a2 * y;
            sample = static_cast<float>(y);
        }
        m_states[section] = {z1, z2};
    }
}

double WeightingFilter::magnitudeAt(double frequencyHz) const {
    const double w = kTwoPi * frequencyHz / m_sampleRate;
    double gain = 1.0;
    for (const auto& section : m_coefficients) {
        gain *= sectionMagnitude(section, w);
    }
    return gain;
}

void WeightingFilter::addSection(const Coefficients& coefficients) {
    m_coefficients.push_back(coefficients);
    m_states.push_back({0.0, 0.0});
}

// Bilinear transform of s²/(s+ω)²: a critically damped second-order high-pass.
void WeightingFilter::addHighPass2(double angularFrequency, double fs) {
    const double k = prewarp(angularFrequency, fs);
    const double k2 = k * k;
    const double norm = 1.0 / (k2 + (2.0 * k + 1.0));
    addSection({norm, -2.0 * norm, norm, ((k2 - 1.0) + (k2 - 1.0)) * norm, (k2 + (1.0 - 2.0 * k)) * norm});
}

// Bilinear transform of s/(s+ω): a first-order high-pass. Only the designs for rates
// too low to hold the 12194 Hz pole use it.
void WeightingFilter::addHighPass1(double angularFrequency, double fs) {
    const double k = prewarp(angularFrequency, fs);
    const double norm = 1.0 / (k + 1.0);
    addSection({norm, -norm, 0.0, (k - 1.0) * norm, 0.0});
}

// Bilinear transform of ω/(s+ω): a first-order low-pass.
void WeightingFilter::addLowPass1(double angularFrequency, double fs) {
    const double k = prewarp(angularFrequency, fs);
    const double norm = 1.0 / (k + 1.0);
    addSection({k * norm, k * norm, 0.0, (k - 1.0) * norm, 0.0});
}

// Bilinear transform of ω²/(s+ω)²: a critically damped second-order low-pass.
void WeightingFilter::addLowPass2(double angularFrequency, double fs) {
    const double k = prewarp(angularFrequency, fs);
    const double k2 = k * k;
    const double norm = 1.0 / (k2 + (2.0 * k + 1.0));
    addSection({k2 * norm, 2.0 * k2 * norm, k2 * norm, ((k2 - 1.0) + (k2 - 1.0)) * norm,
                (k2 + (1.0 - 2.0 * k)) * norm});
}

// Scales the first section so that the cascade has unit gain at 1000 Hz.
void WeightingFilter::applyGainNormalization(double fs) {
    if (m_coefficients.empty()) {
        return;
    }
    const double w = 6283.185307179586 / fs;
    double g = 1.0;
    for (const auto& section : m_coefficients) {
        g *= sectionMagnitude(section, w);
    }
    if (g > 0.0) {
        const double s = 1.0 / g;
        for (std::size_t i = 0; i < 3; ++i) {
            m_coefficients.front()[i] *= s;
        }
    }
}

} // namespace kavro::dsp

namespace kavro::dsp {

namespace {

// The designs give sections whose numerators are exact multiples of b0: b1 = ±2·b0 or
// ±b0 and b2 = b0 or 0 (scaling by 2 and by -1 is exact in binary floating point).
// Knowing the kind lets a step compute b0·x once and reuse it, which gives the very
// same bits as the general formula with fewer multiplications.
enum class Kind { General, HighPass2, LowPass2, HighPass1, LowPass1 };

Kind kindOf(const WeightingFilter::Coefficients& c) {
    const double b0 = c[0], b1 = c[1], b2 = c[2], a2 = c[4];
    if (b2 == b0 && b1 == -2.0 * b0) {
        return Kind::HighPass2;
    }
    if (b2 == b0 && b1 == 2.0 * b0) {
        return Kind::LowPass2;
    }
    if (b2 == 0.0 && a2 == 0.0 && b1 == -b0 && !std::signbit(b2) && !std::signbit(a2)) {
        return Kind::HighPass1;
    }
    if (b2 == 0.0 && a2 == 0.0 && b1 == b0 && !std::signbit(b2) && !std::signbit(a2)) {
        return Kind::LowPass1;
    }
    return Kind::General;
}

struct Section {
    double b0, b1, b2, a1, a2;
    double z1, z2;
};

// One sample through one section: y = z1 + b0·x; z1 ← z2 + (b1·x − a1·y);
// z2 ← b2·x − a2·y; the output rounded to float.
template <Kind K> inline float step(Section& s, float input) {
    const double x = input;
    if constexpr (K == Kind::General) {
        const double y = s.z1 + s.b0 * x;
        s.z1 = s.z2 + (s.b1 * x - s.a1 * y);
        s.z2 = s.b2 * x - s.a2 * y;
        return static_cast<float>(y);
    } else if constexpr (K == Kind::HighPass2) {
        // b1·x = -2p and b2·x = p; (-2p) - a1·y = -(2p + a1·y).
        const double p = s.b0 * x;
        const double y = s.z1 + p;
        s.z1 = s.z2 - ((p + p) + s.a1 * y);
        s.z2 = p - s.a2 * y;
        return static_cast<float>(y);
    } else if constexpr (K == Kind::LowPass2) {
        // b1·x = 2p and b2·x = p.
        const double p = s.b0 * x;
        const double y = s.z1 + p;
        s.z1 = s.z2 + ((p + p) - s.a1 * y);
        s.z2 = p - s.a2 * y;
        return static_cast<float>(y);
    } else {
        // First order: b1·x = ±p; b2 and a2 are +0, so z2 = 0·x - 0·y, a zero whose
        // sign the general formula takes from x and y; kept for identical bits.
        const double p = s.b0 * x;
        const double y = s.z1 + p;
        if constexpr (K == Kind::LowPass1) {
            s.z1 = s.z2 + (p - s.a1 * y);
        } else {
            s.z1 = s.z2 + (-p - s.a1 * y);
        }
        s.z2 = std::copysign(0.0, x) - std::copysign(0.0, y);
        return static_cast<float>(y);
    }
}

template <Kind... Kinds> struct Cascade {
    static constexpr std::size_t kSize = sizeof...(Kinds);
    Section sections[kSize];

    void load(const std::vector<WeightingFilter::Coefficients>& coefficients,
              const std::vector<WeightingFilter::State>& states) {
        for (std::size_t k = 0; k < kSize; ++k) {
            const auto& c = coefficients[k];
            sections[k] = {c[0], c[1], c[2], c[3], c[4], states[k][0], states[k][1]};
        }
    }
    void store(std::vector<WeightingFilter::State>& states) const {
        for (std::size_t k = 0; k < kSize; ++k) {
            states[k] = {sections[k].z1, sections[k].z2};
        }
    }
    inline float run(float sample) {
        std::size_t k = 0;
        ((sample = step<Kinds>(sections[k++], sample)), ...);
        return sample;
    }
};

template <typename CascadeA, typename CascadeB>
void interleavedKernel(std::vector<WeightingFilter::Coefficients> const& coefficientsA,
                       std::vector<WeightingFilter::State>& statesA,
                       std::vector<WeightingFilter::Coefficients> const& coefficientsB,
                       std::vector<WeightingFilter::State>& statesB, std::span<const float> input,
                       float* outA, float* outB) {
    // Coefficients and state in locals so that the compiler keeps them in registers.
    CascadeA a;
    CascadeB b;
    a.load(coefficientsA, statesA);
    b.load(coefficientsB, statesB);
    const std::size_t n = input.size();
    for (std::size_t i = 0; i < n; ++i) {
        const float x = input[i];
        outA[i] = a.run(x);
        outB[i] = b.run(x);
    }
    a.store(statesA);
    b.store(statesB);
}

#if defined(__SSE2__)
// The A (high-pass, high-pass, low-pass, low-pass) and C (high-pass, low-pass) designs
// of the usual rates, two sections per SSE2 register: (A1, C1) and (A2, C2) run on the
// same sample, and (A3, A4) as a wavefront, A3 on sample i while A4 takes A3's output
// of sample i-1. Every lane does exactly the scalar step's operations (the high-pass
// lanes negate 2p with the sign bit, which is exact), so the bits are the same.
//
// GCC 12's straight-line vectoriser pairs the scalar high-pass and low-pass steps of
// the first sample in a way that changes the last bits of the state (seen with -O2 on
// Debian 12); the function is vectorised by hand already, so it is kept out of it.
#if defined(__GNUC__) && !defined(__clang__)
__attribute__((optimize("no-tree-slp-vectorize")))
#endif
void wavefrontKernel(std::vector<WeightingFilter::Coefficients> const& coefficientsA,
                     std::vector<WeightingFilter::State>& statesA,
                     std::vector<WeightingFilter::Coefficients> const& coefficientsC,
                     std::vector<WeightingFilter::State>& statesC, std::span<const float> input, float* outA,
                     float* outC) {
    const std::size_t n = input.size();
    if (n == 0) {
        return;
    }
    Cascade<Kind::HighPass2, Kind::HighPass2, Kind::LowPass1, Kind::LowPass1> a;
    Cascade<Kind::HighPass2, Kind::LowPass2> c;
    a.load(coefficientsA, statesA);
    c.load(coefficientsC, statesC);
    Section* sa = a.sections;
    Section* sc = c.sections;

    // Sample 0 through all but the last A section, one section at a time.
    float a3Output =
        step<Kind::LowPass1>(sa[2], step<Kind::HighPass2>(sa[1], step<Kind::HighPass2>(sa[0], input[0])));
    outC[0] = step<Kind::LowPass2>(sc[1], step<Kind::HighPass2>(sc[0], input[0]));

    const auto pair = [](double low, double high) { return _mm_set_pd(high, low); };
    const __m128d b01 = pair(sa[0].b0, sc[0].b0), a11 = pair(sa[0].a1, sc[0].a1),
                  a21 = pair(sa[0].a2, sc[0].a2);
    const __m128d b02 = pair(sa[1].b0, sc[1].b0), a12 = pair(sa[1].a1, sc[1].a1),
                  a22 = pair(sa[1].a2, sc[1].a2);
    const __m128d b03 = pair(sa[2].b0, sa[3].b0), a13 = pair(sa[2].a1, sa[3].a1);
    __m128d z11 = pair(sa[0].z1, sc[0].z1), z21 = pair(sa[0].z2, sc[0].z2);
    __m128d z12 = pair(sa[1].z1, sc[1].z1), z22 = pair(sa[1].z2, sc[1].z2);
    __m128d z13 = pair(sa[2].z1, sa[3].z1), z23 = pair(sa[2].z2, sa[3].z2);
    const __m128d signBit = _mm_set1_pd(-0.0);
    const __m128d negateBoth = signBit;        // A1 and C1 are high-passes
    const __m128d negateLow = pair(-0.0, 0.0); // A2 high-pass, C2 low-pass
    __m128d previousA3 = _mm_set_sd(static_cast<double>(a3Output));

    for (std::size_t i = 1; i < n; ++i) {
        const __m128d x1 = _mm_set1_pd(static_cast<double>(input[i]));
        __m128d p = _mm_mul_pd(b01, x1);
        const __m128d y1 = _mm_add_pd(z11, p);
        z11 = _mm_add_pd(z21, _mm_sub_pd(_mm_xor_pd(_mm_add_pd(p, p), negateBoth), _mm_mul_pd(a11, y1)));
        z21 = _mm_sub_pd(p, _mm_mul_pd(a21, y1));
        const __m128d x2 = _mm_cvtps_pd(_mm_cvtpd_ps(y1));

        p = _mm_mul_pd(b02, x2);
        const __m128d y2 = _mm_add_pd(z12, p);
        z12 = _mm_add_pd(z22, _mm_sub_pd(_mm_xor_pd(_mm_add_pd(p, p), negateLow), _mm_mul_pd(a12, y2)));
        z22 = _mm_sub_pd(p, _mm_mul_pd(a22, y2));
        const __m128 rounded2 = _mm_cvtpd_ps(y2);
        outC[i] = _mm_cvtss_f32(_mm_shuffle_ps(rounded2, rounded2, _MM_SHUFFLE(1, 1, 1, 1)));

        const __m128d x3 = _mm_unpacklo_pd(_mm_cvtps_pd(rounded2), previousA3);
        p = _mm_mul_pd(b03, x3);
        const __m128d y3 = _mm_add_pd(z13, p);
        z13 = _mm_add_pd(z23, _mm_sub_pd(p, _mm_mul_pd(a13, y3)));
        z23 = _mm_sub_pd(_mm_and_pd(x3, signBit), _mm_and_pd(y3, signBit));
        const __m128 rounded3 = _mm_cvtpd_ps(y3);
        outA[i - 1] = _mm_cvtss_f32(_mm_shuffle_ps(rounded3, rounded3, _MM_SHUFFLE(1, 1, 1, 1)));
        previousA3 = _mm_cvtps_pd(rounded3);
    }

    const auto unpair = [](__m128d v, double& low, double& high) {
        _mm_storel_pd(&low, v);
        _mm_storeh_pd(&high, v);
    };
    unpair(z11, sa[0].z1, sc[0].z1);
    unpair(z21, sa[0].z2, sc[0].z2);
    unpair(z12, sa[1].z1, sc[1].z1);
    unpair(z22, sa[1].z2, sc[1].z2);
    unpair(z13, sa[2].z1, sa[3].z1);
    unpair(z23, sa[2].z2, sa[3].z2);
    // The last sample through the last A section.
    outA[n - 1] = step<Kind::LowPass1>(sa[3], static_cast<float>(_mm_cvtsd_f64(previousA3)));
    a.store(statesA);
    c.store(statesC);
}
#endif

template <Kind... Kinds> bool hasKinds(const std::vector<WeightingFilter::Coefficients>& coefficients) {
    if (coefficients.size() != sizeof...(Kinds)) {
        return false;
    }
    std::size_t k = 0;
    return ((kindOf(coefficients[k++]) == Kinds) && ...);
}

} // namespace

void processInterleaved(WeightingFilter& first, WeightingFilter& second, std::span<const float> input,
                        std::span<float> firstOutput, std::span<float> secondOutput) {
    float* outA = firstOutput.data();
    float* outB = secondOutput.data();
    using K = Kind;
    // The A/C designs get kernels of their own; any other cascade takes the plain
    // path, which gives the same bits.
    if (hasKinds<K::HighPass2, K::HighPass2, K::LowPass1, K::LowPass1>(first.m_coefficients) &&
        hasKinds<K::HighPass2, K::LowPass2>(second.m_coefficients)) {
        if (hasAvxWeightingKernel()) {
            double sumSquares[2];
            float peaks[2];
            avxWeightingKernel(first.m_coefficients.data(), first.m_states.data(),
                               second.m_coefficients.data(), second.m_states.data(), input.data(), outA, outB,
                               input.size(), sumSquares, peaks);
            return;
        }
#if defined(__SSE2__)
        wavefrontKernel(first.m_coefficients, first.m_states, second.m_coefficients, second.m_states, input,
                        outA, outB);
#else
        interleavedKernel<Cascade<K::HighPass2, K::HighPass2, K::LowPass1, K::LowPass1>,
                          Cascade<K::HighPass2, K::LowPass2>>(
            first.m_coefficients, first.m_states, second.m_coefficients, second.m_states, input, outA, outB);
#endif
    } else if (hasKinds<K::HighPass2, K::HighPass1, K::HighPass1>(first.m_coefficients) &&
               hasKinds<K::HighPass2>(second.m_coefficients)) {
        interleavedKernel<Cascade<K::HighPass2, K::HighPass1, K::HighPass1>, Cascade<K::HighPass2>>(
            first.m_coefficients, first.m_states, second.m_coefficients, second.m_states, input, outA, outB);
    } else {
        std::copy(input.begin(), input.end(), outA);
        std::copy(input.begin(), input.end(), outB);
        first.process(firstOutput.first(input.size()));
        second.process(secondOutput.first(input.size()));
    }
}

void processInterleaved(WeightingFilter& first, WeightingFilter& second, std::span<const float> input,
                        std::span<float> firstOutput, std::span<float> secondOutput,
                        level::BufferStatistics& firstStatistics, level::BufferStatistics& secondStatistics) {
    const std::size_t frames = input.size();
    using K = Kind;
    if (hasAvxWeightingKernel() &&
        hasKinds<K::HighPass2, K::HighPass2, K::LowPass1, K::LowPass1>(first.m_coefficients) &&
        hasKinds<K::HighPass2, K::LowPass2>(second.m_coefficients)) {
        double sumSquares[2];
        float peaks[2];
        avxWeightingKernel(first.m_coefficients.data(), first.m_states.data(), second.m_coefficients.data(),
                           second.m_states.data(), input.data(), firstOutput.data(), secondOutput.data(),
                           frames, sumSquares, peaks);
        firstStatistics = level::statisticsOf(sumSquares[0], peaks[0], frames);
        secondStatistics = level::statisticsOf(sumSquares[1], peaks[1], frames);
        return;
    }
    processInterleaved(first, second, input, firstOutput, secondOutput);
    level::measurePair(firstOutput.first(frames), secondOutput.first(frames), firstStatistics,
                       secondStatistics);
}

} // namespace kavro::dsp
