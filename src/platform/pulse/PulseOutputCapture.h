// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"
#include "platform/pulse/PulseOutputTap.h"
#include "platform/pulse/PulseRecordStream.h"

#include <QObject>

#include <cstddef>
#include <vector>

namespace kavro::platform {

// Records one output's monitor in the output's own channels, on the tap's loop thread.
// The read handler only copies samples into a buffer allocated at start and hands on
// every full one: no locks, no logging.
class PulseOutputCapture final : public CaptureStream {
public:
    PulseOutputCapture(PulseOutputTap& tap, QString outputName, int framesPerBuffer,
                       CaptureCallback callback);
    ~PulseOutputCapture() override;

    CaptureFormat format() const override;
    std::optional<QString> start() override;
    void stop() override;
    std::optional<QString> reopen(int deviceChannel) override;

private:
    void consume(const float* samples, std::size_t count);

    PulseOutputTap& m_tap;
    const QString m_outputName;
    const int m_framesPerBuffer;
    const CaptureCallback m_callback;
    std::optional<PulseOutputTap::CaptureTarget> m_target;
    std::optional<PulseRecordStream> m_record;
    std::vector<float> m_chunk;
    std::size_t m_filled = 0;
    // Posts the configuration change; a post whose stream is gone is dropped with it.
    QObject m_context;
};

} // namespace kavro::platform
