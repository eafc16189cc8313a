#include "platform/qt/QtPlaybackStream.h"

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
    RenderSource(const RenderCallback& render, int channelCount) : m_render(render), m_channelCount(channelCount) {}

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

class QtPlaybackStream::Worker final : public QObject {
public:
    std::optional<QString> startSink(const QAudioDevice& device, const PlaybackFormat& format,
                                     const RenderCallback& render, std::atomic<bool>& failed) {
        QAudioFormat audioFormat;
        audioFormat.setSampleRate(static_cast<int>(format.sampleRate));
        audioFormat.setChannelCount(format.channelCount);
        audioFormat.setSampleFormat(QAudioFormat::Float);
        if (!audioFormat.isValid() || format.channelCount > 64) {
            return QStringLiteral("unusable playback format");
        }
        m_source = std::make_unique<RenderSource>(render, format.channelCount);
        m_source->open(QIODevice::ReadOnly);
        m_sink = std::make_unique<QAudioSink>(device, audioFormat);
        QAudioSink* sink = m_sink.get();
        QObject::connect(sink, &QAudioSink::stateChanged, sink, [sink, &failed](QAudio::State state) {
            if (state == QAudio::StoppedState && sink->error() != QAudio::NoError) {
                failed.store(true);
            }
        });
        sink->start(m_source.get());
        if (sink->error() != QAudio::NoError) {
            stopSink();
            return QStringLiteral("the output device could not be opened");
        }
        return std::nullopt;
    }

    void stopSink() {
        if (m_sink) {
            m_sink->disconnect();
            m_sink->stop();
            m_sink.reset();
        }
        m_source.reset();
    }

private:
    std::unique_ptr<RenderSource> m_source;
    std::unique_ptr<QAudioSink> m_sink;
};

QtPlaybackStream::QtPlaybackStream(QtAudioBackend& backend, const QString& deviceUid, PlaybackFormat format,
                                   RenderCallback render)
    : m_backend(backend), m_binding(QAudioDevice::Output, deviceUid), m_format(format), m_render(std::move(render)) {
    m_thread.setObjectName(QStringLiteral("render"));
    m_worker = new Worker();
    m_worker->moveToThread(&m_thread);
    m_thread.start(QThread::TimeCriticalPriority);
    m_registration = m_backend.registerStream(this);
}

QtPlaybackStream::~QtPlaybackStream() {
    m_backend.unregisterStream(m_registration);
    stop();
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
}

std::optional<QString> QtPlaybackStream::start() {
    if (m_started) {
        return std::nullopt;
    }
    if (!m_binding.resolve()) {
        return QStringLiteral("no audio output device");
    }
    std::optional<QString> error;
    const QAudioDevice device = m_binding.device();
    QMetaObject::invokeMethod(
        m_worker, [&] { error = m_worker->startSink(device, m_format, m_render, m_failed); },
        Qt::BlockingQueuedConnection);
    m_started = !error;
    return error;
}

void QtPlaybackStream::stop() {
    if (!m_started) {
        return;
    }
    QMetaObject::invokeMethod(m_worker, [this] { m_worker->stopSink(); }, Qt::BlockingQueuedConnection);
    m_started = false;
    m_failed.store(false);
}

void QtPlaybackStream::checkConfiguration() {
    if (!m_started) {
        return;
    }
    if (m_failed.exchange(false) || m_binding.vanished()) {
        const auto handler = onConfigurationChanged;
        if (handler) {
            handler();
        }
    }
}

} // namespace kavro::platform
