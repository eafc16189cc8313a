// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/testing/ScriptedAudioBackend.h"

namespace kavro::platform::testing {

ScriptedCaptureStream::ScriptedCaptureStream(ScriptedAudioBackend& backend, QString deviceUid,
                                             int deviceChannel, int framesPerBuffer, CaptureFormat format,
                                             std::optional<QString> startError, CaptureCallback callback)
    : m_backend(backend), m_deviceUid(std::move(deviceUid)), m_deviceChannel(deviceChannel),
      m_framesPerBuffer(framesPerBuffer), m_format(format), m_startError(std::move(startError)),
      m_callback(std::move(callback)) {}

ScriptedCaptureStream::~ScriptedCaptureStream() {
    stop();
    if (m_backend.m_stream == this) {
        m_backend.m_stream = nullptr;
    }
}

std::optional<QString> ScriptedCaptureStream::start() {
    ++m_startCount;
    if (m_startError) {
        return m_startError;
    }
    std::lock_guard lock(m_mutex);
    if (!m_running) {
        m_running = true;
        m_thread = std::thread([this] { run(); });
    }
    return std::nullopt;
}

void ScriptedCaptureStream::stop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_running) {
            return;
        }
        m_running = false;
        m_queue.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_drained.notify_all();
}

std::optional<QString> ScriptedCaptureStream::reopen(int deviceChannel) {
    ++m_reopenCount;
    m_deviceChannel = deviceChannel;
    m_format = m_backend.captureFormat;
    return m_backend.reopenError;
}

void ScriptedCaptureStream::notifyConfigurationChanged() {
    const auto handler = onConfigurationChanged;
    if (handler) {
        handler();
    }
}

bool ScriptedCaptureStream::isStarted() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

void ScriptedCaptureStream::deliver(std::vector<std::vector<float>> buffers, bool wait) {
    {
        std::lock_guard lock(m_mutex);
        for (auto& buffer : buffers) {
            m_queue.push_back(std::move(buffer));
        }
    }
    m_wake.notify_all();
    if (wait) {
        waitUntilDelivered();
    }
}

void ScriptedCaptureStream::waitUntilDelivered() {
    std::unique_lock lock(m_mutex);
    m_drained.wait(lock, [this] { return !m_running || (m_queue.empty() && !m_delivering); });
}

void ScriptedCaptureStream::run() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_wake.wait(lock, [this] { return !m_running || !m_queue.empty(); });
        if (!m_running) {
            return;
        }
        std::vector<float> buffer = std::move(m_queue.front());
        m_queue.pop_front();
        m_delivering = true;
        lock.unlock();
        m_callback(std::span<const float>(buffer));
        lock.lock();
        m_delivering = false;
        if (m_queue.empty()) {
            m_drained.notify_all();
        }
    }
}

std::unique_ptr<CaptureStream> ScriptedAudioBackend::openCapture(const QString& deviceUid, int deviceChannel,
                                                                 int framesPerBuffer,
                                                                 CaptureCallback callback) {
    auto stream = std::make_unique<ScriptedCaptureStream>(*this, deviceUid, deviceChannel, framesPerBuffer,
                                                          captureFormat, startError, std::move(callback));
    m_stream = stream.get();
    ++m_openCount;
    return stream;
}

ScriptedPlaybackStream::ScriptedPlaybackStream(ScriptedAudioBackend& backend, QString deviceUid,
                                               PlaybackFormat format, std::optional<QString> startError,
                                               RenderCallback render)
    : m_backend(backend), m_deviceUid(std::move(deviceUid)), m_format(format),
      m_startError(std::move(startError)), m_render(std::move(render)) {}

ScriptedPlaybackStream::~ScriptedPlaybackStream() {
    if (m_backend.m_playbackStream == this) {
        m_backend.m_playbackStream = nullptr;
    }
}

std::optional<QString> ScriptedPlaybackStream::start() {
    if (m_startError) {
        return m_startError;
    }
    m_started = true;
    return std::nullopt;
}

void ScriptedPlaybackStream::stop() {
    m_started = false;
}

std::vector<float> ScriptedPlaybackStream::render(std::size_t frames) {
    if (!m_started) {
        return {};
    }
    std::vector<float> samples(frames * static_cast<std::size_t>(m_format.channelCount));
    std::thread renderThread([&] { m_render(samples, m_format.channelCount); });
    renderThread.join();
    return samples;
}

void ScriptedPlaybackStream::notifyConfigurationChanged() {
    const auto handler = onConfigurationChanged;
    if (handler) {
        handler();
    }
}

std::unique_ptr<PlaybackStream>
ScriptedAudioBackend::openPlayback(const QString& deviceUid, PlaybackFormat format, RenderCallback render) {
    auto stream = std::make_unique<ScriptedPlaybackStream>(*this, deviceUid, format, playbackStartError,
                                                           std::move(render));
    m_playbackStream = stream.get();
    ++m_playbackOpenCount;
    return stream;
}

} // namespace kavro::platform::testing
