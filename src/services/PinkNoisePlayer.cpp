// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/PinkNoisePlayer.h"

#include "dsp/PinkNoiseGenerator.h"

namespace kavro::services {

PinkNoisePlayer::PinkNoisePlayer(platform::AudioBackend& backend, QObject* parent)
    : QObject(parent), m_backend(backend) {}

PinkNoisePlayer::~PinkNoisePlayer() {
    if (m_stream) {
        m_stream->stop();
    }
}

bool PinkNoisePlayer::start(const std::optional<QString>& deviceUID) {
    if (m_isPlaying) {
        return true;
    }
    // The generator is made here, on the main thread, and then belongs to the render
    // callback alone: the render thread neither allocates nor shares it.
    platform::RenderCallback render = [generator = dsp::PinkNoiseGenerator()](std::span<float> interleaved,
                                                                              int channelCount) mutable {
        generator.render(interleaved, channelCount);
    };
    auto stream = m_backend.openPlayback(deviceUID.value_or(QString()), {kSampleRate, kChannelCount},
                                         std::move(render));
    if (!stream) {
        return false;
    }
    if (const auto error = stream->start()) {
        emit problem(QStringLiteral("[Kavro] PinkNoisePlayer failed to start: ") + *error);
        return false;
    }
    if (m_stream) {
        m_stream->stop();
    }
    m_stream = std::move(stream);
    m_stream->onConfigurationChanged = [this] { handleConfigurationChange(); };
    setPlaying(true);
    return true;
}

void PinkNoisePlayer::stop() {
    if (m_stream) {
        m_stream->stop();
        m_stream.reset();
    }
    setPlaying(false);
}

void PinkNoisePlayer::handleConfigurationChange() {
    // Playback is not resumed on another device: the user or the measurement starts
    // it again. The stream allows being released from inside its own report.
    stop();
}

void PinkNoisePlayer::setPlaying(bool playing) {
    if (m_isPlaying == playing) {
        return;
    }
    m_isPlaying = playing;
    emit changed();
}

} // namespace kavro::services
