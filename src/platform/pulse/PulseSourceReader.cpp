// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseSourceReader.h"

#include "platform/pulse/PulseContext.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/thread-mainloop.h>

namespace kavro::platform {
PulseSourceReader::PulseSourceReader() : m_loop(pa_threaded_mainloop_new()) {
    pa_threaded_mainloop_set_name(m_loop, "kavro-capture");
    pa_threaded_mainloop_start(m_loop);
}

PulseSourceReader::~PulseSourceReader() {
    stop();
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

std::optional<QString> PulseSourceReader::start(const QString& sourceName, double sampleRate,
                                                int channelCount, DataHandler data,
                                                std::function<void()> failed) {
    stop();
    if (auto error = connectContext()) {
        return QStringLiteral("no sound server (%1)").arg(*error);
    }
    PulseRecordStream::Request request;
    request.source = sourceName;
    request.spec = {PA_SAMPLE_FLOAT32NE, static_cast<std::uint32_t>(sampleRate),
                    static_cast<std::uint8_t>(channelCount)};
    request.fragmentSeconds = std::chrono::duration<double>(kDeliveryPeriod).count();
    // A level shown two seconds late would not be a meter.
    request.sourceLatencyFromFragment = true;
    pa_threaded_mainloop_lock(m_loop);
    request.channelMap = channelMapOf(sourceName, channelCount);
    pa_threaded_mainloop_unlock(m_loop);
    if (!pa_sample_spec_valid(&request.spec)) {
        stop();
        return QStringLiteral("the device's format is unusable");
    }
    m_record.emplace(m_loop, m_context);
    if (auto error = m_record->connect(request, std::move(data), std::move(failed))) {
        stop();
        return QStringLiteral("cannot record %1 (%2)").arg(sourceName, *error);
    }
    return std::nullopt;
}

void PulseSourceReader::stop() {
    m_record.reset();
    disconnectContext();
}

std::optional<QString> PulseSourceReader::connectContext() {
    pa_threaded_mainloop_lock(m_loop);
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Kavro");
    pa_context_set_state_callback(
        m_context,
        // A server that goes away fails the stream too, which reports it.
        [](pa_context*, void* loop) {
            pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
        },
        m_loop);
    std::optional<QString> error = connectContextAndWait(m_loop, m_context);
    pa_threaded_mainloop_unlock(m_loop);
    if (error) {
        disconnectContext();
    }
    return error;
}

pa_channel_map PulseSourceReader::channelMapOf(const QString& sourceName, int channelCount) {
    struct Lookup {
        pa_threaded_mainloop* loop;
        std::optional<pa_channel_map> map;
        bool done = false;
    } lookup{m_loop, std::nullopt};
    const QByteArray name = sourceName.toUtf8();
    pa_operation* operation = pa_context_get_source_info_by_name(
        m_context, name.constData(),
        [](pa_context*, const pa_source_info* info, int eol, void* data) {
            auto* found = static_cast<Lookup*>(data);
            if (eol == 0 && info) {
                found->map = info->channel_map;
            } else {
                found->done = true;
            }
            pa_threaded_mainloop_signal(found->loop, 0);
        },
        &lookup);
    while (operation && !lookup.done && pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
        pa_threaded_mainloop_wait(m_loop);
    }
    if (operation) {
        pa_operation_unref(operation);
    }
    pa_channel_map map{};
    if (lookup.map && lookup.map->channels == channelCount) {
        return *lookup.map;
    }
    // Not found or another count: the server's usual layout for that many channels.
    pa_channel_map_init_extend(&map, static_cast<unsigned>(channelCount), PA_CHANNEL_MAP_DEFAULT);
    return map;
}

void PulseSourceReader::disconnectContext() {
    if (!m_context) {
        return;
    }
    pa_threaded_mainloop_lock(m_loop);
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
    pa_threaded_mainloop_unlock(m_loop);
}

} // namespace kavro::platform
