// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/DeviceBinding.h"

#include "platform/qt/QtAudioBackend.h"

namespace kavro::platform {

DeviceBinding::DeviceBinding(QAudioDevice::Mode mode, QString requestedUid)
    : m_mode(mode), m_requestedUid(std::move(requestedUid)) {}

bool DeviceBinding::resolve() {
    m_device = m_requestedUid.isEmpty() ? QAudioDevice() : QtAudioBackend::findDevice(m_mode, m_requestedUid);
    m_followsDefault = m_device.isNull();
    if (m_followsDefault) {
        m_device = QtAudioBackend::defaultDevice(m_mode);
    }
    const QAudioFormat preferred = m_device.preferredFormat();
    m_sampleRate = preferred.sampleRate();
    m_channelCount = preferred.channelCount();
    return !m_device.isNull();
}

QAudioDevice DeviceBinding::current() const {
    return m_followsDefault ? QtAudioBackend::defaultDevice(m_mode)
                            : QtAudioBackend::findDevice(m_mode, m_requestedUid);
}

bool DeviceBinding::vanished() const {
    const QAudioDevice now = current();
    return now.isNull() || now.id() != m_device.id();
}

bool DeviceBinding::configurationChanged() const {
    const QAudioDevice now = current();
    if (now.isNull() || now.id() != m_device.id()) {
        return true;
    }
    const QAudioFormat preferred = now.preferredFormat();
    return preferred.sampleRate() != m_sampleRate || preferred.channelCount() != m_channelCount;
}

} // namespace kavro::platform
