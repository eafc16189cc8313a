// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseOutputTap.h"

#include "platform/pulse/PulseContext.h"
#include "platform/pulse/PulseOutputCapture.h"

#include <QMetaObject>

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>
#include <pulse/volume.h>

#include <chrono>
#include <limits>

namespace kavro::platform {
namespace {

constexpr std::chrono::milliseconds kReconnectInterval{2000};

QString text(const char* value) {
    return value ? QString::fromUtf8(value) : QString();
}

// Headphones by the active port's type or name, or by what the device says it is (a USB
// or Bluetooth headset has no headphone port, only its form factor).
bool looksLikeHeadphones(const pa_sink_info& info) {
    const pa_sink_port_info* port = info.active_port;
    if (port && (port->type == PA_DEVICE_PORT_TYPE_HEADPHONES || port->type == PA_DEVICE_PORT_TYPE_HEADSET)) {
        return true;
    }
    if (port) {
        const QString name = text(port->name).toLower();
        if (name.contains(QLatin1String("headphone")) || name.contains(QLatin1String("headset"))) {
            return true;
        }
    }
    const QString formFactor = text(pa_proplist_gets(info.proplist, PA_PROP_DEVICE_FORM_FACTOR));
    return formFactor == QLatin1String("headphone") || formFactor == QLatin1String("headset");
}

OutputDescription describe(const pa_sink_info& info) {
    OutputDescription output;
    output.name = text(info.name);
    output.description = text(info.description);
    for (std::uint32_t index = 0; index < info.n_ports; ++index) {
        output.ports.append({text(info.ports[index]->name), text(info.ports[index]->description)});
    }
    if (info.active_port) {
        output.activePort = text(info.active_port->name);
        output.activePortDescription = text(info.active_port->description);
    }
    output.channelCount = info.sample_spec.channels;
    output.sampleRate = info.sample_spec.rate;
    const pa_volume_t loudest = pa_cvolume_max(&info.volume);
    output.volumeFraction = static_cast<double>(loudest) / PA_VOLUME_NORM;
    output.volumeDb =
        loudest == PA_VOLUME_MUTED ? -std::numeric_limits<double>::infinity() : pa_sw_volume_to_dB(loudest);
    output.muted = info.mute != 0;
    output.hardwareVolume = (info.flags & PA_SINK_HW_VOLUME_CTRL) != 0;
    output.headphones = looksLikeHeadphones(info);
    return output;
}

} // namespace

PulseOutputTap::PulseOutputTap(QObject* parent) : QObject(parent), m_mainloop(pa_threaded_mainloop_new()) {
    pa_threaded_mainloop_set_name(m_mainloop, "kavro-output");
    pa_threaded_mainloop_start(m_mainloop);
    m_reconnectTimer.setInterval(kReconnectInterval);
    // A list that arrives with the connection tells the listener.
    QObject::connect(&m_reconnectTimer, &QTimer::timeout, this, [this] { connect(); });
}

PulseOutputTap::~PulseOutputTap() {
    pa_threaded_mainloop_lock(m_mainloop);
    disconnectLocked();
    pa_threaded_mainloop_unlock(m_mainloop);
    pa_threaded_mainloop_stop(m_mainloop);
    pa_threaded_mainloop_free(m_mainloop);
}

void PulseOutputTap::disconnectLocked() {
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    m_pending = {};
    m_connected = false;
}

std::optional<QString> PulseOutputTap::connect() {
    pa_threaded_mainloop_lock(m_mainloop);
    if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY) {
        pa_threaded_mainloop_unlock(m_mainloop);
        return std::nullopt;
    }
    disconnectLocked();
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_mainloop), "Kavro");
    pa_context_set_state_callback(m_context, &PulseOutputTap::contextState, this);
    const std::optional<QString> error = connectContextAndWait(m_mainloop, m_context);
    if (error) {
        disconnectLocked();
        pa_threaded_mainloop_unlock(m_mainloop);
        m_reconnectTimer.start();
        return QStringLiteral("no sound server (%1)").arg(*error);
    }
    m_reconnectTimer.stop();
    m_connected = true;
    pa_context_set_subscribe_callback(
        m_context,
        [](pa_context*, pa_subscription_event_type_t, std::uint32_t, void* self) {
            static_cast<PulseOutputTap*>(self)->requestList();
        },
        this);
    pa_operation_unref(pa_context_subscribe(
        m_context,
        static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER), nullptr,
        nullptr));
    // The first list is waited for, so that the caller sees the outputs at once.
    m_listArrived = false;
    requestList();
    while (!m_listArrived && m_connected) {
        pa_threaded_mainloop_wait(m_mainloop);
    }
    const QList<OutputDescription> outputs = m_pending.outputs;
    const QList<CaptureTarget> targets = m_pending.targets;
    pa_threaded_mainloop_unlock(m_mainloop);
    acceptList(outputs, targets);
    return std::nullopt;
}

void PulseOutputTap::contextState(pa_context* context, void* self) {
    auto* tap = static_cast<PulseOutputTap*>(self);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) {
        tap->m_connected = false;
        QMetaObject::invokeMethod(
            tap, [tap] { tap->connectionLost(); }, Qt::QueuedConnection);
    }
    pa_threaded_mainloop_signal(tap->m_mainloop, 0);
}

void PulseOutputTap::requestList() {
    // A list already being read is read again in full when it ends: simpler than merging.
    if (m_pending.unanswered > 0) {
        m_pending.again = true;
        return;
    }
    m_pending = {};
    m_pending.unanswered = 2;
    pa_operation_unref(pa_context_get_server_info(m_context, &PulseOutputTap::serverInfo, this));
    pa_operation_unref(pa_context_get_sink_info_list(m_context, &PulseOutputTap::sinkInfo, this));
}

void PulseOutputTap::serverInfo(pa_context*, const pa_server_info* info, void* self) {
    auto* tap = static_cast<PulseOutputTap*>(self);
    if (info) {
        tap->m_pending.defaultName = text(info->default_sink_name);
    }
    tap->finishList();
}

void PulseOutputTap::sinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self) {
    auto* tap = static_cast<PulseOutputTap*>(self);
    if (eol != 0) {
        tap->finishList();
        return;
    }
    if (info) {
        tap->m_pending.outputs.append(describe(*info));
        tap->m_pending.targets.append({text(info->monitor_source_name), info->channel_map,
                                       info->sample_spec.channels,
                                       static_cast<double>(info->sample_spec.rate)});
    }
}

void PulseOutputTap::finishList() {
    if (--m_pending.unanswered > 0) {
        return;
    }
    if (m_pending.again) {
        requestList();
        return;
    }
    for (OutputDescription& output : m_pending.outputs) {
        output.isDefault = output.name == m_pending.defaultName;
    }
    m_listArrived = true;
    pa_threaded_mainloop_signal(m_mainloop, 0);
    QMetaObject::invokeMethod(
        this,
        [this, outputs = m_pending.outputs, targets = m_pending.targets] { acceptList(outputs, targets); },
        Qt::QueuedConnection);
}

void PulseOutputTap::acceptList(const QList<OutputDescription>& outputs,
                                const QList<CaptureTarget>& targets) {
    if (outputs == m_outputs) {
        m_targets = targets;
        return;
    }
    m_outputs = outputs;
    m_targets = targets;
    if (onOutputsChanged) {
        onOutputsChanged();
    }
}

void PulseOutputTap::connectionLost() {
    if (m_connected) {
        return;
    }
    m_reconnectTimer.start();
    if (m_outputs.isEmpty()) {
        return;
    }
    m_outputs.clear();
    m_targets.clear();
    if (onOutputsChanged) {
        onOutputsChanged();
    }
}

std::optional<PulseOutputTap::CaptureTarget> PulseOutputTap::captureTarget(const QString& outputName) {
    if (connect()) {
        return std::nullopt;
    }
    for (qsizetype index = 0; index < m_outputs.size() && index < m_targets.size(); ++index) {
        if (m_outputs[index].name == outputName) {
            return m_targets[index];
        }
    }
    return std::nullopt;
}

std::unique_ptr<CaptureStream>
PulseOutputTap::openOutputCapture(const QString& outputName, int framesPerBuffer, CaptureCallback callback) {
    return std::make_unique<PulseOutputCapture>(*this, outputName, framesPerBuffer, std::move(callback));
}

} // namespace kavro::platform
