// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseRecordStream.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>
#include <pulse/timeval.h>

namespace kavro::platform {

PulseRecordStream::PulseRecordStream(pa_threaded_mainloop* loop, pa_context* context)
    : m_loop(loop), m_context(context) {}

PulseRecordStream::~PulseRecordStream() {
    disconnect();
}

std::optional<QString> PulseRecordStream::connect(const Request& request, DataHandler data,
                                                  FailureHandler failure) {
    disconnect();
    m_data = std::move(data);
    m_failure = nullptr;
    m_stopping.store(false);
    pa_threaded_mainloop_lock(m_loop);
    m_stream = pa_stream_new(m_context, "Kavro level meter", &request.spec, &request.channelMap);
    std::optional<QString> error;
    if (!m_stream) {
        error = QString::fromUtf8(pa_strerror(pa_context_errno(m_context)));
    } else {
        pa_stream_set_state_callback(m_stream, &PulseRecordStream::streamState, this);
        pa_stream_set_read_callback(m_stream, &PulseRecordStream::streamRead, this);
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<std::uint32_t>(-1);
        attributes.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(
            static_cast<pa_usec_t>(request.fragmentSeconds * PA_USEC_PER_SEC), &request.spec));
        const QByteArray source = request.source.toUtf8();
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_DONT_MOVE | (request.sourceLatencyFromFragment ? PA_STREAM_ADJUST_LATENCY : 0));
        if (pa_stream_connect_record(m_stream, source.isEmpty() ? nullptr : source.constData(), &attributes,
                                     flags) < 0) {
            error = QString::fromUtf8(pa_strerror(pa_context_errno(m_context)));
        } else {
            pa_stream_state_t state = pa_stream_get_state(m_stream);
            while (state == PA_STREAM_CREATING || state == PA_STREAM_UNCONNECTED) {
                pa_threaded_mainloop_wait(m_loop);
                state = pa_stream_get_state(m_stream);
            }
            if (state != PA_STREAM_READY) {
                error = QString::fromUtf8(pa_strerror(pa_context_errno(m_context)));
            } else {
                // Still locked: a failure from now on is reported, one while connecting
                // is the error returned.
                m_failure = std::move(failure);
            }
        }
    }
    pa_threaded_mainloop_unlock(m_loop);
    if (error) {
        disconnect();
    }
    return error;
}

void PulseRecordStream::disconnect() {
    if (!m_stream) {
        return;
    }
    m_stopping.store(true);
    pa_threaded_mainloop_lock(m_loop);
    // Callbacks run with the loop locked: once cleared here, none runs again.
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_read_callback(m_stream, nullptr, nullptr);
    if (pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        pa_stream_disconnect(m_stream);
    }
    pa_stream_unref(m_stream);
    m_stream = nullptr;
    pa_threaded_mainloop_unlock(m_loop);
}

void PulseRecordStream::streamState(pa_stream* stream, void* self) {
    auto* record = static_cast<PulseRecordStream*>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if ((state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) && !record->m_stopping.load() &&
        record->m_failure) {
        record->m_failure();
    }
    pa_threaded_mainloop_signal(record->m_loop, 0);
}

void PulseRecordStream::streamRead(pa_stream* stream, std::size_t /*length*/, void* self) {
    auto* record = static_cast<PulseRecordStream*>(self);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
            return;
        }
        record->m_data(static_cast<const float*>(data), bytes / sizeof(float));
        pa_stream_drop(stream);
    }
}

} // namespace kavro::platform
