// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file/SoundFileBackend.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace kavro::platform {

class SoundFileBackend::Stream final : public CaptureStream {
public:
    Stream(SoundFileBackend& backend, int framesPerBuffer, CaptureCallback callback)
        : m_backend(backend), m_buffer(static_cast<std::size_t>(std::max(framesPerBuffer, 1))),
          m_callback(std::move(callback)) {}
    ~Stream() override {
        stop();
        if (m_backend.m_stream == this) {
            m_backend.m_stream = nullptr;
        }
    }

    CaptureFormat format() const override { return {m_backend.m_file.sampleRate(), 1}; }
    std::optional<QString> start() override {
        if (m_started.exchange(true) || m_backend.m_pace == Pace::onDemand) {
            return std::nullopt;
        }
        m_thread = std::thread([this] { deliverInRealTime(); });
        return std::nullopt;
    }
    void stop() override {
        m_started = false;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    std::optional<QString> reopen(int) override { return std::nullopt; }

    std::size_t pump() {
        if (!m_started) {
            return 0;
        }
        const std::size_t frames = m_backend.m_file.readChannel(m_backend.m_channel, m_buffer);
        if (frames > 0) {
            m_callback(std::span<const float>(m_buffer.data(), frames));
        }
        return frames;
    }

private:
    // Fills the whole buffer: from the file, then from its start again when looping,
    // else with silence once the file has ended.
    void fillBuffer() {
        std::size_t filled = 0;
        bool rewound = false;
        while (filled < m_buffer.size() && !m_ended) {
            const std::size_t read =
                m_backend.m_file.readChannel(m_backend.m_channel, std::span<float>(m_buffer).subspan(filled));
            filled += read;
            if (read > 0) {
                rewound = false;
                continue;
            }
            // A second rewind without a frame read in between means the file gives nothing.
            const bool loop = m_backend.m_pace == Pace::realTimeLooped;
            if (!loop || rewound || !m_backend.m_file.rewind()) {
                m_ended = true;
            }
            rewound = true;
        }
        std::fill(m_buffer.begin() + static_cast<std::ptrdiff_t>(filled), m_buffer.end(), 0.0f);
    }

    void deliverInRealTime() {
        using Clock = std::chrono::steady_clock;
        const auto bufferLength = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
            static_cast<double>(m_buffer.size()) / m_backend.m_file.sampleRate()));
        // Long enough behind that catching up would only deliver a burst of stale audio.
        constexpr auto kMaximumLag = std::chrono::seconds(1);
        auto due = Clock::now();
        while (m_started) {
            fillBuffer();
            m_callback(std::span<const float>(m_buffer.data(), m_buffer.size()));
            due += bufferLength;
            const auto now = Clock::now();
            if (now - due > kMaximumLag) {
                due = now;
            }
            std::this_thread::sleep_until(due);
        }
    }

    SoundFileBackend& m_backend;
    std::vector<float> m_buffer;
    CaptureCallback m_callback;
    std::atomic<bool> m_started = false;
    bool m_ended = false;
    std::thread m_thread;
};

namespace {

// A file has nothing to play on: playback fails to start.
class NoPlayback final : public PlaybackStream {
public:
    std::optional<QString> start() override { return QStringLiteral("a sound file has no output device"); }
    void stop() override {}
};

} // namespace

QList<AudioDeviceDescription> SoundFileBackend::inputDevices() const {
    AudioDeviceDescription file;
    file.uid = QStringLiteral("file");
    file.name = QStringLiteral("Sound file");
    file.channelCount = 1;
    file.sampleRate = m_file.sampleRate();
    file.isDefault = true;
    return {file};
}

std::unique_ptr<CaptureStream> SoundFileBackend::openCapture(const QString&, int, int framesPerBuffer,
                                                             CaptureCallback callback) {
    auto stream = std::make_unique<Stream>(*this, framesPerBuffer, std::move(callback));
    m_stream = stream.get();
    return stream;
}

std::unique_ptr<PlaybackStream> SoundFileBackend::openPlayback(const QString&, PlaybackFormat,
                                                               RenderCallback) {
    return std::make_unique<NoPlayback>();
}

std::size_t SoundFileBackend::pump() {
    return m_stream ? m_stream->pump() : 0;
}

} // namespace kavro::platform
