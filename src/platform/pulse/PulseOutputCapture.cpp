// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseOutputCapture.h"

#include <algorithm>

namespace kavro::platform {
namespace {

// About a tenth of a second per delivery from the server.
constexpr double kFragmentSeconds = 0.1;

} // namespace

PulseOutputCapture::PulseOutputCapture(PulseOutputTap& tap, QString outputName, int framesPerBuffer,
                                       CaptureCallback callback)
    : m_tap(tap), m_outputName(std::move(outputName)), m_framesPerBuffer(framesPerBuffer),
      m_callback(std::move(callback)), m_target(tap.captureTarget(m_outputName)) {}

PulseOutputCapture::~PulseOutputCapture() {
    stop();
}

CaptureFormat PulseOutputCapture::format() const {
    if (!m_target) {
        return {};
    }
    return {m_target->sampleRate, m_target->channelCount};
}

std::optional<QString> PulseOutputCapture::reopen(int /*deviceChannel*/) {
    stop();
    m_target = m_tap.captureTarget(m_outputName);
    if (!m_target) {
        return QStringLiteral("output %1 is gone").arg(m_outputName);
    }
    return std::nullopt;
}

std::optional<QString> PulseOutputCapture::start() {
    if (m_record) {
        return std::nullopt;
    }
    if (!m_target || m_target->channelCount <= 0 || !(m_target->sampleRate > 0)) {
        return QStringLiteral("output %1 is gone").arg(m_outputName);
    }
    if (auto error = m_tap.connect()) {
        return error;
    }
    const auto channels = static_cast<std::size_t>(m_target->channelCount);
    m_chunk.assign(static_cast<std::size_t>(m_framesPerBuffer) * channels, 0.0f);
    m_filled = 0;

    PulseRecordStream::Request request;
    request.source = m_target->monitorSource;
    request.spec = {PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(m_target->sampleRate),
                    static_cast<std::uint8_t>(channels)};
    request.channelMap = m_target->channelMap;
    request.fragmentSeconds = kFragmentSeconds;
    m_record.emplace(m_tap.mainloop(), m_tap.context());
    const auto error = m_record->connect(
        request, [this](const float* samples, std::size_t count) { consume(samples, count); },
        [this] {
            // The output went away (or the server did): the owner looks again.
            QMetaObject::invokeMethod(
                &m_context,
                [this] {
                    if (onConfigurationChanged) {
                        onConfigurationChanged();
                    }
                },
                Qt::QueuedConnection);
        });
    if (error) {
        m_record.reset();
        return QStringLiteral("cannot record output %1 (%2)").arg(m_outputName, *error);
    }
    return std::nullopt;
}

void PulseOutputCapture::stop() {
    m_record.reset();
}

void PulseOutputCapture::consume(const float* samples, std::size_t count) {
    while (count > 0) {
        const std::size_t take = std::min(count, m_chunk.size() - m_filled);
        if (samples) {
            std::copy_n(samples, take, m_chunk.begin() + static_cast<std::ptrdiff_t>(m_filled));
            samples += take;
        } else {
            std::fill_n(m_chunk.begin() + static_cast<std::ptrdiff_t>(m_filled), take, 0.0f);
        }
        m_filled += take;
        count -= take;
        if (m_filled == m_chunk.size()) {
            m_callback(m_chunk);
            m_filled = 0;
        }
    }
}

} // namespace kavro::platform
