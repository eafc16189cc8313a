// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <complex>
#include <cstddef>
#include <span>

struct kiss_fftr_state;

namespace kavro::dsp {

// A real FFT of one even length (KissFFT), forward and inverse, both unscaled:
// forward X[k] = Σ x[n]·e^(−2πikn/N) for k = 0 … N/2; inverse x[n] = Σ over all N bins
// of the Hermitian-extended spectrum. Set up once, reused without allocation.
class RealFft {
public:
    explicit RealFft(std::size_t size);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    // False when the set-up could not be created.
    bool isValid() const { return m_forward != nullptr && m_inverse != nullptr; }
    std::size_t size() const { return m_size; }

    // time: size() samples; spectrum: size()/2 + 1 bins.
    void forward(std::span<const float> time, std::span<std::complex<float>> spectrum) const;
    void inverse(std::span<const std::complex<float>> spectrum, std::span<float> time) const;

private:
    std::size_t m_size;
    kiss_fftr_state* m_forward = nullptr;
    kiss_fftr_state* m_inverse = nullptr;
};

} // namespace kavro::dsp
