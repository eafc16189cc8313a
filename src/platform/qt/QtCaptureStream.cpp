// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtCaptureStream.h"

#include "platform/Console.h"
#include "platform/qt/CaptureChunker.h"
#include "platform/qt/QtAudioIo.h"

#include <QAudioSource>
#include <QIODevice>

namespace kavro::platform {

namespace {

// The device writes its bytes here, on the capture thread.
class ChunkingSink final : public QIODevice {
public:
    explicit ChunkingSink(std::atomic<std::uint64_t>& received) : m_received(received) {}

    CaptureChunker chunker;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override {
        chunker.write(data, static_cast<std::size_t>(length));
        m_received.fetch_add(static_cast<std::uint64_t>(length), std::memory_order_relaxed);
        return length;
    }

private:
    std::atomic<std::uint64_t>& m_received;
};

} // namespace

// Used on the capture thread only: the source and the sink are created, run and
// destroyed there, so Qt delivers the device's data on that thread.
class QtCaptureStream::Worker final : public WatchedAudioStream<QAudioSource, ChunkingSink> {};

QtCaptureStream::QtCaptureStream(QtAudioBackend& backend, const QString& deviceUid, int deviceChannel,
                                 int framesPerBuffer, CaptureCallback callback)
    : DeviceBoundStream(backend, QStringLiteral("capture"), onConfigurationChanged),
      m_binding(QAudioDevice::Input, deviceUid), m_framesPerBuffer(framesPerBuffer),
      m_callback(std::move(callback)), m_worker(std::make_unique<Worker>()) {
    prepare(deviceChannel);
}

QtCaptureStream::~QtCaptureStream() {
    stop();
}

bool QtCaptureStream::prepare(int deviceChannel) {
    m_format = QAudioFormat();
    if (!m_binding.resolve()) {
        return false;
    }
    QAudioFormat format = m_binding.device().preferredFormat();
    switch (format.sampleFormat()) {
    case QAudioFormat::UInt8:
    case QAudioFormat::Int16:
    case QAudioFormat::Int32:
    case QAudioFormat::Float:
        break;
    default:
        // The server converts to float where the device's own format is unusual.
        format.setSampleFormat(QAudioFormat::Float);
        break;
    }
    m_format = format;
    const int channels = format.channelCount();
    if (channels <= 0) {
        return true;
    }
    // Only the measured channel is delivered: it plays the part of every channel of
    // the delivered buffer.
    if (deviceChannel >= 0 && deviceChannel < channels) {
        m_channel = deviceChannel;
        printConsoleLine(QStringLiteral("[Kavro] setChannelMap: device channel %1 → bus channels 0..<1")
                             .arg(deviceChannel));
    } else {
        m_channel = 0;
        printConsoleLine(
            QStringLiteral("[Kavro] setChannelMap: failed (the device has no channel %1, only %2) — "
                           "falling back to default mapping")
                .arg(deviceChannel)
                .arg(channels));
    }
    return true;
}

CaptureFormat QtCaptureStream::format() const {
    return {static_cast<double>(std::max(m_format.sampleRate(), 0)), std::max(m_format.channelCount(), 0)};
}

std::optional<QString> QtCaptureStream::start() {
    if (isStarted()) {
        return std::nullopt;
    }
    if (m_binding.device().isNull()) {
        return QStringLiteral("no audio input device");
    }
    if (!m_format.isValid()) {
        return QStringLiteral("the device's format is unusable");
    }
    const QAudioDevice device = m_binding.device();
    m_bytesSeen = m_bytesReceived.load();
    m_sinceBytesMoved.start();
    return startOnAudioThread([&](std::atomic<bool>& failed) {
        auto sink = std::make_unique<ChunkingSink>(m_bytesReceived);
        sink->chunker.configure(m_format.sampleFormat(), m_format.channelCount(), m_channel,
                                m_framesPerBuffer, m_callback);
        sink->open(QIODevice::WriteOnly);
        auto source = std::make_unique<QAudioSource>(device, m_format);
        // Without a size of our own, PulseAudio delivers in half-second bursts; two
        // buffers' worth keeps the meter live without waking the thread needlessly.
        source->setBufferSize(qsizetype(2) * m_framesPerBuffer * m_format.bytesPerFrame());
        return m_worker->start(std::move(source), std::move(sink), failed);
    });
}

void QtCaptureStream::stop() {
    stopOnAudioThread([this] { m_worker->stop(); });
}

std::optional<QString> QtCaptureStream::reopen(int deviceChannel) {
    stop();
    if (!prepare(deviceChannel)) {
        return QStringLiteral("no audio input device");
    }
    return std::nullopt;
}

bool QtCaptureStream::deviceChanged() const {
    return m_binding.configurationChanged();
}

bool QtCaptureStream::stalled() {
    const std::uint64_t received = m_bytesReceived.load(std::memory_order_relaxed);
    if (received != m_bytesSeen) {
        m_bytesSeen = received;
        m_sinceBytesMoved.start();
        return false;
    }
    return m_sinceBytesMoved.hasExpired(kStallTimeout.count());
}

} // namespace kavro::platform
