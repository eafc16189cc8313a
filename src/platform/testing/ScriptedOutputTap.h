// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/OutputTap.h"
#include "platform/testing/ScriptedAudioBackend.h"

namespace kavro::platform::testing {

// An output tap whose outputs, their state and the connection a test sets. Captures are
// the scripted streams of an inner backend, delivering interleaved buffers a test gives.
class ScriptedOutputTap final : public OutputTap {
public:
    QList<OutputDescription> outputList;
    std::optional<QString> connectError;

    std::optional<QString> connect() override { return connectError; }
    QList<OutputDescription> outputs() const override {
        return connectError ? QList<OutputDescription>{} : outputList;
    }
    std::unique_ptr<CaptureStream> openOutputCapture(const QString& outputName, int framesPerBuffer,
                                                     CaptureCallback callback) override {
        m_streams.captureFormat = {};
        for (const OutputDescription& output : outputs()) {
            if (output.name == outputName) {
                m_streams.captureFormat = {output.sampleRate, output.channelCount};
            }
        }
        return m_streams.openCapture(outputName, 0, framesPerBuffer, std::move(callback));
    }

    // Tells the listener that the outputs changed, as the server would.
    void notifyChanged() const {
        if (onOutputsChanged) {
            onOutputsChanged();
        }
    }
    // The most recently opened capture that still exists, or null.
    ScriptedCaptureStream* stream() const { return m_streams.stream(); }
    int openCount() const { return m_streams.openCount(); }

private:
    ScriptedAudioBackend m_streams;
};

} // namespace kavro::platform::testing
