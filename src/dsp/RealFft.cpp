// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/RealFft.h"

#include <kissfft/kiss_fftr.h>

#include <cassert>

namespace kavro::dsp {

static_assert(sizeof(std::complex<float>) == sizeof(kiss_fft_cpx), "KissFFT float build expected");

RealFft::RealFft(std::size_t size) : m_size(size) {
    if (size >= 2 && size % 2 == 0) {
        m_forward = kiss_fftr_alloc(static_cast<int>(size), 0, nullptr, nullptr);
        m_inverse = kiss_fftr_alloc(static_cast<int>(size), 1, nullptr, nullptr);
    }
}

RealFft::~RealFft() {
    kiss_fftr_free(m_forward);
    kiss_fftr_free(m_inverse);
}

void RealFft::forward(std::span<const float> time, std::span<std::complex<float>> spectrum) const {
    assert(isValid() && time.size() == m_size && spectrum.size() == m_size / 2 + 1);
    kiss_fftr(m_forward, time.data(), reinterpret_cast<kiss_fft_cpx*>(spectrum.data()));
}

void RealFft::inverse(std::span<const std::complex<float>> spectrum, std::span<float> time) const {
    assert(isValid() && time.size() == m_size && spectrum.size() == m_size / 2 + 1);
    kiss_fftri(m_inverse, reinterpret_cast<const kiss_fft_cpx*>(spectrum.data()), time.data());
}

} // namespace kavro::dsp
