// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/OutputTap.h"

#include <QObject>
#include <QTimer>

#include <pulse/channelmap.h>

#include <atomic>

struct pa_context;
struct pa_threaded_mainloop;
struct pa_sink_info;
struct pa_server_info;

namespace kavro::platform {

// The outputs of a PulseAudio server (or of PipeWire's PulseAudio server), through the
// PulseAudio client library on a threaded main loop of its own. The device list is kept
// on the main thread: the loop's thread gathers each new list and posts it there.
class PulseOutputTap final : public QObject, public OutputTap {
    Q_OBJECT
public:
    explicit PulseOutputTap(QObject* parent = nullptr);
    ~PulseOutputTap() override;

    std::optional<QString> connect() override;
    QList<OutputDescription> outputs() const override { return m_outputs; }
    std::unique_ptr<CaptureStream> openOutputCapture(const QString& outputName, int framesPerBuffer,
                                                     CaptureCallback callback) override;

    // What a capture needs of an output beyond its description (main thread).
    struct CaptureTarget {
        QString monitorSource;
        pa_channel_map channelMap{};
        int channelCount = 0;
        double sampleRate = 0;
    };
    // Looks the output up afresh on the server (connecting if needed); nullopt when the
    // output or the server is gone.
    std::optional<CaptureTarget> captureTarget(const QString& outputName);

    pa_threaded_mainloop* mainloop() const { return m_mainloop; }
    pa_context* context() const { return m_context; }

private:
    // Gathered on the loop's thread while a list is being read.
    struct PendingList {
        QList<OutputDescription> outputs;
        QList<CaptureTarget> targets;
        QString defaultName;
        int unanswered = 0;
        // A change came in while the list was being read.
        bool again = false;
    };

    static void contextState(pa_context* context, void* self);
    static void serverInfo(pa_context* context, const pa_server_info* info, void* self);
    static void sinkInfo(pa_context* context, const pa_sink_info* info, int eol, void* self);
    // With the loop locked: asks for the default and the list; the answer is posted.
    void requestList();
    void finishList();
    // Main thread.
    void acceptList(const QList<OutputDescription>& outputs, const QList<CaptureTarget>& targets);
    void connectionLost();
    void disconnectLocked();

    pa_threaded_mainloop* m_mainloop = nullptr;
    pa_context* m_context = nullptr;
    // Set on the loop's thread when the connection fails.
    std::atomic<bool> m_connected{false};
    bool m_listArrived = false;
    PendingList m_pending;
    // Main thread only.
    QList<OutputDescription> m_outputs;
    QList<CaptureTarget> m_targets;
    // While the server is gone, tries to reach it again now and then, so that the list
    // and its changes come back without a capture asking.
    QTimer m_reconnectTimer;
};

} // namespace kavro::platform
