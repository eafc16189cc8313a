#include "platform/qt/QtCaptureStream.h"

#include "platform/Console.h"
#include "platform/qt/CaptureChunker.h"

#include <QAudioSource>
#include <QIODevice>

namespace kavro::platform {

namespace {

QString describeError(QAudio::Error error) {
    switch (error) {
    case QAudio::OpenError:
        return QStringLiteral("the device could not be opened");
    case QAudio::IOError:
        return QStringLiteral("reading from the device failed");
    case QAudio::UnderrunError:
        return QStringLiteral("the device delivered no data");
    case QAudio::FatalError:
        return QStringLiteral("the device failed");
    case QAudio::NoError:
        break;
    }
    return QStringLiteral("unknown error");
}

// The device writes its bytes here, on the capture thread.
class ChunkingSink final : public QIODevice {
public:
    CaptureChunker chunker;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override {
        chunker.write(data, static_cast<std::size_t>(length));
        return length;
    }
};

} // namespace

// Lives on the capture thread: the source and the sink are created, run and destroyed
// there, so Qt delivers the device's data on that thread.
class QtCaptureStream::Worker final : public QObject {
public:
    std::optional<QString> startSource(const QAudioDevice& device, const QAudioFormat& format, int channel,
                                       int framesPerBuffer, const CaptureCallback& callback,
                                       std::atomic<bool>& failed) {
        m_sink = std::make_unique<ChunkingSink>();
        m_sink->chunker.configure(format.sampleFormat(), format.channelCount(), channel, framesPerBuffer, callback);
        m_sink->open(QIODevice::WriteOnly);
        m_source = std::make_unique<QAudioSource>(device, format);
        QAudioSource* source = m_source.get();
        // Without a size of our own, PulseAudio delivers in half-second bursts; two
        // buffers' worth keeps the meter live without waking the thread needlessly.
        source->setBufferSize(qsizetype(2) * framesPerBuffer * format.bytesPerFrame());
        QObject::connect(source, &QAudioSource::stateChanged, source, [source, &failed](QAudio::State state) {
            if (state == QAudio::StoppedState && source->error() != QAudio::NoError) {
                failed.store(true);
            }
        });
        source->start(m_sink.get());
        if (source->error() != QAudio::NoError) {
            const QString error = describeError(source->error());
            stopSource();
            return error;
        }
        return std::nullopt;
    }

    void stopSource() {
        if (m_source) {
            m_source->disconnect();
            m_source->stop();
            m_source.reset();
        }
        m_sink.reset();
    }

private:
    std::unique_ptr<ChunkingSink> m_sink;
    std::unique_ptr<QAudioSource> m_source;
};

QtCaptureStream::QtCaptureStream(QtAudioBackend& backend, const QString& deviceUid, int deviceChannel,
                                 int framesPerBuffer, CaptureCallback callback)
    : m_backend(backend), m_binding(QAudioDevice::Input, deviceUid), m_framesPerBuffer(framesPerBuffer),
      m_callback(std::move(callback)) {
    m_thread.setObjectName(QStringLiteral("capture"));
    m_worker = new Worker();
    m_worker->moveToThread(&m_thread);
    m_thread.start(QThread::TimeCriticalPriority);
    prepare(deviceChannel);
    m_registration = m_backend.registerStream(this);
}

QtCaptureStream::~QtCaptureStream() {
    m_backend.unregisterStream(m_registration);
    stop();
    m_thread.quit();
    m_thread.wait();
    delete m_worker;
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
        printConsoleLine(QStringLiteral("[Kavro] setChannelMap: device channel %1 → bus channels 0..<1").arg(deviceChannel));
    } else {
        m_channel = 0;
        printConsoleLine(QStringLiteral("[Kavro] setChannelMap: failed (the device has no channel %1, only %2) — "
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
    if (m_started) {
        return std::nullopt;
    }
    if (m_binding.device().isNull()) {
        return QStringLiteral("no audio input device");
    }
    if (!m_format.isValid()) {
        return QStringLiteral("the device's format is unusable");
    }
    std::optional<QString> error;
    const QAudioDevice device = m_binding.device();
    QMetaObject::invokeMethod(
        m_worker,
        [&] { error = m_worker->startSource(device, m_format, m_channel, m_framesPerBuffer, m_callback, m_failed); },
        Qt::BlockingQueuedConnection);
    m_started = !error;
    return error;
}

void QtCaptureStream::stop() {
    if (!m_started) {
        return;
    }
    // Blocking: once the capture thread has torn the source down, no buffer is in flight.
    QMetaObject::invokeMethod(m_worker, [this] { m_worker->stopSource(); }, Qt::BlockingQueuedConnection);
    m_started = false;
    m_failed.store(false);
}

std::optional<QString> QtCaptureStream::reopen(int deviceChannel) {
    stop();
    if (!prepare(deviceChannel)) {
        return QStringLiteral("no audio input device");
    }
    return std::nullopt;
}

void QtCaptureStream::checkConfiguration() {
    if (!m_started) {
        return;
    }
    if (m_failed.exchange(false) || m_binding.configurationChanged()) {
        const auto handler = onConfigurationChanged;
        if (handler) {
            handler();
        }
    }
}

} // namespace kavro::platform
