#include "platform/file/SoundFileBackend.h"

namespace kavro::platform {

class SoundFileBackend::Stream final : public CaptureStream {
public:
    Stream(SoundFileBackend& backend, int framesPerBuffer, CaptureCallback callback)
        : m_backend(backend), m_buffer(static_cast<std::size_t>(framesPerBuffer)),
          m_callback(std::move(callback)) {}
    ~Stream() override {
        if (m_backend.m_stream == this) {
            m_backend.m_stream = nullptr;
        }
    }

    CaptureFormat format() const override { return {m_backend.m_file.sampleRate(), 1}; }
    std::optional<QString> start() override {
        m_started = true;
        return std::nullopt;
    }
    void stop() override { m_started = false; }
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
    SoundFileBackend& m_backend;
    std::vector<float> m_buffer;
    CaptureCallback m_callback;
    bool m_started = false;
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
