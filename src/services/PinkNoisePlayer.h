// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioBackend.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace kavro::services {

// Plays the pink-noise test signal on a chosen output device: the signal of the
// microphone-response measurement and the level-calibration test tone. Every start
// begins the same sequence afresh; playback ends when the output device goes away.
class PinkNoisePlayer : public QObject {
    Q_OBJECT
public:
    static constexpr double kSampleRate = 44100.0;
    static constexpr int kChannelCount = 2;

    explicit PinkNoisePlayer(platform::AudioBackend& backend, QObject* parent = nullptr);
    ~PinkNoisePlayer() override;

    // Plays on the output with this UID (none: the system default; an unknown UID also
    // plays on the default). Already playing: returns true and stays on its device.
    // Returns whether the noise is playing afterwards.
    bool start(const std::optional<QString>& deviceUID);
    void stop();
    bool isPlaying() const { return m_isPlaying; }

signals:
    void changed();
    // A start failed (whoever asked for it); `consoleLine` reports it in the program's
    // words and the owner decides where it goes.
    void problem(const QString& consoleLine);

private:
    void setPlaying(bool playing);
    void handleConfigurationChange();

    platform::AudioBackend& m_backend;
    std::unique_ptr<platform::PlaybackStream> m_stream;
    bool m_isPlaying = false;
};

} // namespace kavro::services
