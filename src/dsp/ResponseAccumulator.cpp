// SPDX-License-Identifier: GPL-3.0-or-later
#include "dsp/ResponseAccumulator.h"

#include "dsp/HannWindow.h"

#include <algorithm>

namespace kavro::dsp {

ResponseAccumulator::ResponseAccumulator()
    : m_window(normalisedHannWindow(kFrameSize)), m_pending(kFrameSize), m_windowed(kFrameSize),
      m_spectrum(kBinCount + 1), m_accumulatedPower(kBinCount) {}

void ResponseAccumulator::reset() {
    m_pendingCount = 0;
    std::fill(m_accumulatedPower.begin(), m_accumulatedPower.end(), 0.0f);
    m_framesAccumulated = 0;
}

int ResponseAccumulator::append(std::span<const float> samples) {
    while (!samples.empty() && !isComplete()) {
        const std::size_t taken = std::min(samples.size(), kFrameSize - m_pendingCount);
        std::copy_n(samples.begin(), taken, m_pending.begin() + static_cast<std::ptrdiff_t>(m_pendingCount));
        m_pendingCount += taken;
        samples = samples.subspan(taken);
        if (m_pendingCount == kFrameSize) {
            accumulateFrame();
            // Hop: the second half of this frame is the first half of the next.
            std::copy(m_pending.begin() + kHop, m_pending.end(), m_pending.begin());
            m_pendingCount = kFrameSize - kHop;
        }
    }
    return m_framesAccumulated;
}

void ResponseAccumulator::accumulateFrame() {
    if (!m_fft.isValid()) {
        return;
    }
    for (std::size_t n = 0; n < kFrameSize; ++n) {
        m_windowed[n] = m_pending[n] * m_window[n];
    }
    m_fft.forward(m_windowed, m_spectrum);
    // The measurement is defined on an FFT that returns twice the plain DFT and packs
    // the Nyquist value into bin 0; the factor 2 (4 in power) keeps its floors in scale.
    const float nyquist = m_spectrum[kBinCount].real();
    m_accumulatedPower[0] += 4.0f * (m_spectrum[0].real() * m_spectrum[0].real() + nyquist * nyquist);
    for (std::size_t k = 1; k < kBinCount; ++k) {
        m_accumulatedPower[k] += 4.0f * std::norm(m_spectrum[k]);
    }
    ++m_framesAccumulated;
}

} // namespace kavro::dsp
