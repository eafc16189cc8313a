// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAudioDevice>
#include <QString>

namespace kavro::platform {

// The device a stream runs on: the one with the requested UID, or the system default
// when none was asked for or no device has it. It tells whether that is still true.
class DeviceBinding {
public:
    DeviceBinding(QAudioDevice::Mode mode, QString requestedUid);

    // Looks the device up in the current lists; false when there is none at all.
    bool resolve();
    const QAudioDevice& device() const { return m_device; }
    bool followsDefault() const { return m_followsDefault; }

    // The device is gone, or (when following the default) the default is another one.
    bool vanished() const;
    // As vanished(), or the device's preferred rate or channel count changed.
    bool configurationChanged() const;

private:
    QAudioDevice current() const;

    const QAudioDevice::Mode m_mode;
    const QString m_requestedUid;
    bool m_followsDefault = true;
    QAudioDevice m_device;
    int m_sampleRate = 0;
    int m_channelCount = 0;
};

} // namespace kavro::platform
