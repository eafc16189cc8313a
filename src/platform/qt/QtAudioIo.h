// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAudio>
#include <QIODevice>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>

namespace kavro::platform {

// What went wrong with a Qt audio stream, in words for the console.
QString describeAudioError(QAudio::Error error);

// A QAudioSource or QAudioSink with the I/O device it reads from or writes to, both
// created, run and destroyed on one audio thread. When the platform stops the stream
// with an error, a flag is raised for the main thread to find.
template <typename QtStream, typename Io> class WatchedAudioStream {
public:
    // The I/O device comes open. Returns the error when the stream does not start; it
    // is then released again.
    std::optional<QString> start(std::unique_ptr<QtStream> stream, std::unique_ptr<Io> io,
                                 std::atomic<bool>& failed) {
        m_io = std::move(io);
        m_stream = std::move(stream);
        QtStream* raw = m_stream.get();
        QObject::connect(raw, &QtStream::stateChanged, raw, [raw, &failed](QAudio::State state) {
            if (state == QAudio::StoppedState && raw->error() != QAudio::NoError) {
                failed.store(true);
            }
        });
        raw->start(m_io.get());
        if (raw->error() != QAudio::NoError) {
            const QString error = describeAudioError(raw->error());
            stop();
            return error;
        }
        return std::nullopt;
    }

    // Stops without raising the flag and releases both.
    void stop() {
        if (m_stream) {
            m_stream->disconnect();
            m_stream->stop();
            m_stream.reset();
        }
        m_io.reset();
    }

private:
    std::unique_ptr<Io> m_io;
    std::unique_ptr<QtStream> m_stream;
};

} // namespace kavro::platform
