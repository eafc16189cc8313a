#pragma once

#include <span>

namespace kavro::services {

// The microphone correction as the measurement pipeline sees it: applied in place to
// every capture buffer before weighting, on the capture thread. It must never wait;
// it may leave the samples unchanged (switched off, busy, or made for another rate).
class MicCorrectionHook {
public:
    virtual ~MicCorrectionHook() = default;
    virtual void apply(std::span<float> samples, double sampleRate) = 0;
};

} // namespace kavro::services
