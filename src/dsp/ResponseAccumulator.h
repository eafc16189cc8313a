// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/RealFft.h"

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace kavro::dsp {

// The capture side of the response measurement: cuts the concatenated sample stream
// into 2048-sample frames at a hop of 1024 (50 % overlap), windows each frame, and sums
// the power spectra of the first 200 frames. How the stream arrives in buffers does not
// matter. Nothing is allocated after construction, so it can run on the capture thread.
class ResponseAccumulator {
public:
    static constexpr std::size_t kFrameSize = 2048;
    static constexpr std::size_t kHop = 1024;
    static constexpr std::size_t kBinCount = kFrameSize / 2;
    static constexpr int kTargetFrames = 200;

    ResponseAccumulator();

    // Starts a new run: no pending samples, zero sums, no frames.
    void reset();
    // False when the FFT could not be set up; then no frame is ever accumulated.
    bool isValid() const { return m_fft.isValid(); }

    // Takes the next samples of the stream and accumulates every frame they complete,
    // up to the target. Returns the number of frames accumulated so far.
    int append(std::span<const float> samples);

    int framesAccumulated() const { return m_framesAccumulated; }
    bool isComplete() const { return m_framesAccumulated >= kTargetFrames; }
    // Σ of P[k] = |X[k]|² over the frames, k = 0 … 1023, where X is twice the plain DFT
    // of the windowed frame. Bin 0 holds DC plus Nyquist power and carries no meaning.
    const std::vector<float>& accumulatedPower() const { return m_accumulatedPower; }

private:
    void accumulateFrame();

    RealFft m_fft{kFrameSize};
    std::vector<float> m_window;
    std::vector<float> m_pending; // kFrameSize capacity; m_pendingCount in use
    std::size_t m_pendingCount = 0;
    std::vector<float> m_windowed;
    std::vector<std::complex<float>> m_spectrum;
    std::vector<float> m_accumulatedPower;
    int m_framesAccumulated = 0;
};

} // namespace kavro::dsp
