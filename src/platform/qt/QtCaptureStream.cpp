// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/QtCaptureStream.h"

#include "platform/Console.h"

#include <algorithm>
#include <array>

namespace kavro::platform {

QtCaptureStream::QtCaptureStream(QtAudioBackend& backend, const QString& deviceUid, int deviceChannel,
                                 int framesPerBuffer, CaptureCallback callback)
    : DeviceBoundStream(backend, QString(), onConfigurationChanged),
      m_binding(QAudioDevice::Input, deviceUid), m_framesPerBuffer(framesPerBuffer),
      m_callback(std::move(callback)) {
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
    // The server converts whatever the device gives to float.
    QAudioFormat format = m_binding.device().preferredFormat();
    format.setSampleFormat(QAudioFormat::Float);
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
    m_samplesSeen = m_samplesReceived.load();
    m_sinceSamplesMoved.start();
    m_chunker.configure(QAudioFormat::Float, m_format.channelCount(), m_channel, m_framesPerBuffer,
                        m_callback);
    const QString source = QString::fromUtf8(m_binding.device().id());
    return startStream([&](std::atomic<bool>& failed) {
        return m_reader.start(
            source, m_format.sampleRate(), m_format.channelCount(),
            [this](const float* samples, std::size_t count) { receive(samples, count); },
            [&failed] { failed.store(true); });
    });
}

void QtCaptureStream::receive(const float* samples, std::size_t count) {
    m_samplesReceived.fetch_add(count, std::memory_order_relaxed);
    if (samples) {
        m_chunker.write(reinterpret_cast<const char*>(samples), count * sizeof(float));
        return;
    }
    static constexpr std::array<float, 256> kSilence{};
    while (count > 0) {
        const std::size_t take = std::min(count, kSilence.size());
        m_chunker.write(reinterpret_cast<const char*>(kSilence.data()), take * sizeof(float));
        count -= take;
    }
}

void QtCaptureStream::stop() {
    stopStream([this] { m_reader.stop(); });
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
    const std::uint64_t received = m_samplesReceived.load(std::memory_order_relaxed);
    if (received != m_samplesSeen) {
        m_samplesSeen = received;
        m_sinceSamplesMoved.start();
        return false;
    }
    return m_sinceSamplesMoved.hasExpired(kStallTimeout.count());
}

} // namespace kavro::platform
