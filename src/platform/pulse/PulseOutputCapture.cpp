// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseOutputCapture.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

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
    if (m_stream) {
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
    m_stopping.store(false);

    pa_threaded_mainloop* loop = m_tap.mainloop();
    pa_threaded_mainloop_lock(loop);
    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(m_target->sampleRate),
                              static_cast<std::uint8_t>(channels)};
    m_stream = pa_stream_new(m_tap.context(), "Kavro level meter", &spec, &m_target->channelMap);
    std::optional<QString> error;
    if (!m_stream) {
        error = QString::fromUtf8(pa_strerror(pa_context_errno(m_tap.context())));
    } else {
        pa_stream_set_state_callback(m_stream, &PulseOutputCapture::streamState, this);
        pa_stream_set_read_callback(m_stream, &PulseOutputCapture::streamRead, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.fragsize = static_cast<std::uint32_t>(
            pa_usec_to_bytes(static_cast<pa_usec_t>(kFragmentSeconds * PA_USEC_PER_SEC), &spec));
        const QByteArray source = m_target->monitorSource.toUtf8();
        if (pa_stream_connect_record(m_stream, source.constData(), &attributes, PA_STREAM_DONT_MOVE) < 0) {
            error = QString::fromUtf8(pa_strerror(pa_context_errno(m_tap.context())));
        } else {
            pa_stream_state_t state = pa_stream_get_state(m_stream);
            while (state == PA_STREAM_CREATING || state == PA_STREAM_UNCONNECTED) {
                pa_threaded_mainloop_wait(loop);
                state = pa_stream_get_state(m_stream);
            }
            if (state != PA_STREAM_READY) {
                error = QString::fromUtf8(pa_strerror(pa_context_errno(m_tap.context())));
            }
        }
    }
    pa_threaded_mainloop_unlock(loop);
    if (error) {
        stop();
        return QStringLiteral("cannot record output %1 (%2)").arg(m_outputName, *error);
    }
    return std::nullopt;
}

void PulseOutputCapture::stop() {
    if (!m_stream) {
        return;
    }
    m_stopping.store(true);
    pa_threaded_mainloop* loop = m_tap.mainloop();
    pa_threaded_mainloop_lock(loop);
    // Callbacks run with the loop locked: once cleared here, none runs again.
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    if (pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        pa_stream_disconnect(m_stream);
    }
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    pa_threaded_mainloop_unlock(loop);
}

void PulseOutputCapture::streamState(pa_stream* stream, void* self) {
    auto* capture = static_cast<PulseOutputCapture*>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if ((state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) && !capture->m_stopping.load()) {
        // The output went away (or the server did): the owner looks again.
        QMetaObject::invokeMethod(
            &capture->m_context,
            [capture] {
                if (capture->onConfigurationChanged) {
                    capture->onConfigurationChanged();
                }
            },
            Qt::QueuedConnection);
    }
    pa_threaded_mainloop_signal(capture->m_tap.mainloop(), 0);
}

void PulseOutputCapture::streamRead(pa_stream* stream, std::size_t /*length*/, void* self) {
    auto* capture = static_cast<PulseOutputCapture*>(self);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
            return;
        }
        // A hole (no data for a stretch) reads as silence.
        capture->consume(static_cast<const float*>(data), bytes / sizeof(float));
        pa_stream_drop(stream);
    }
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
