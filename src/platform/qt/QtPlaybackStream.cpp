// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtPlaybackStream.h"

#include "platform/qt/QtAudioIo.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>

#include <cstring>

namespace kavro::platform {

namespace {

// The device reads its samples here, on the render thread. Rendering goes through a
// fixed block on the stack, so nothing is allocated and the device's buffer needs no
// particular alignment.
class RenderSource final : public QIODevice {
public:
    RenderSource(const RenderCallback& render, int channelCount)
        : m_render(render), m_channelCount(channelCount) {}

    bool isSequential() const override { return true; }
    // An endless signal: there is always more to read.
    qint64 bytesAvailable() const override { return (qint64(1) << 30) + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxLength) override {
        const auto frameBytes = static_cast<qint64>(sizeof(float)) * m_channelCount;
        const qint64 frames = maxLength / frameBytes;
        const qint64 framesPerBlock = kBlockSamples / m_channelCount;
        qint64 done = 0;
        while (done < frames) {
            const qint64 count = std::min(framesPerBlock, frames - done);
            const auto samples = static_cast<std::size_t>(count * m_channelCount);
            m_render(std::span<float>(m_block, samples), m_channelCount);
            std::memcpy(data + done * frameBytes, m_block, samples * sizeof(float));
            done += count;
        }
        return frames * frameBytes;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    static constexpr qint64 kBlockSamples = 1024;
    const RenderCallback& m_render;
    const int m_channelCount;
    float m_block[kBlockSamples];
};

} // namespace

// Used on the render thread only, like the capture worker.
class QtPlaybackStream::Worker final : public WatchedAudioStream<QAudioSink, RenderSource> {};

QtPlaybackStream::QtPlaybackStream(QtAudioBackend& backend, const QString& deviceUid, PlaybackFormat format,
                                   RenderCallback render)
    : DeviceBoundStream(backend, QStringLiteral("render"), onConfigurationChanged),
      m_binding(QAudioDevice::Output, deviceUid), m_format(format), m_render(std::move(render)),
      m_worker(std::make_unique<Worker>()) {}

QtPlaybackStream::~QtPlaybackStream() {
    stop();
}

std::optional<QString> QtPlaybackStream::start() {
    if (isStarted()) {
        return std::nullopt;
    }
    if (!m_binding.resolve()) {
        return QStringLiteral("no audio output device");
    }
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(m_format.sampleRate));
    format.setChannelCount(m_format.channelCount);
    format.setSampleFormat(QAudioFormat::Float);
    if (!format.isValid() || m_format.channelCount > 64) {
        return QStringLiteral("unusable playback format");
    }
    const QAudioDevice device = m_binding.device();
    return startStream([&](std::atomic<bool>& failed) {
        auto source = std::make_unique<RenderSource>(m_render, m_format.channelCount);
        source->open(QIODevice::ReadOnly);
        return m_worker->start(std::make_unique<QAudioSink>(device, format), std::move(source), failed);
    });
}

void QtPlaybackStream::stop() {
    stopStream([this] { m_worker->stop(); });
}

// Playback does not care about format changes: the server converts.
bool QtPlaybackStream::deviceChanged() const {
    return m_binding.vanished();
}

} // namespace kavro::platform
