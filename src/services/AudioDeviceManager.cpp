// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/AudioDeviceManager.h"

#include <algorithm>

namespace kavro::services {

using models::AudioChannel;
using models::AudioDevice;

AudioDeviceManager::AudioDeviceManager(platform::AudioBackend& backend, platform::Settings settings,
                                       QObject* parent)
    : QObject(parent), m_backend(backend), m_settings(settings) {
    m_inputDevices = enumerate(true);
    m_outputDevices = enumerate(false);
    updateAvailableChannels();
    // The listener only refreshes the lists, one turn of the event loop later; it never
    // touches capture.
    m_listener = m_backend.observeDeviceChanges([this] {
        QMetaObject::invokeMethod(
            this, [this] { refreshDevices(); }, Qt::QueuedConnection);
    });
    setSelectedChannelIndex(m_settings.value(platform::keys::selectedChannelIndex));
}

AudioDeviceManager::~AudioDeviceManager() = default;

QList<AudioDevice> AudioDeviceManager::enumerate(bool inputs) {
    const auto descriptions = inputs ? m_backend.inputDevices() : m_backend.outputDevices();
    QList<AudioDevice> devices;
    for (const auto& description : descriptions) {
        if (description.channelCount <= 0) {
            continue;
        }
        // Ids are handed out per UID and stay while the device is present.
        auto it = m_idsByUid.find(description.uid);
        if (it == m_idsByUid.end()) {
            it = m_idsByUid.insert(description.uid, m_nextId++);
        }
        AudioDevice device;
        device.id = *it;
        device.name = description.name.isEmpty() ? QStringLiteral("Unknown Device") : description.name;
        device.manufacturer =
            description.manufacturer.isEmpty() ? QStringLiteral("Unknown") : description.manufacturer;
        device.uid = description.uid.isEmpty() ? QString::number(device.id) : description.uid;
        device.hasInput = inputs;
        devices.append(device);
    }
    return devices;
}

QList<AudioChannel> AudioDeviceManager::channelsOf(const QString& uid) const {
    QList<AudioChannel> channels;
    for (const auto& description : m_backend.inputDevices()) {
        if (description.uid != uid) {
            continue;
        }
        for (int i = 0; i < description.channelCount; ++i) {
            const QString given =
                i < description.channelNames.size() ? description.channelNames.at(i) : QString();
            channels.append({i, given.isEmpty() ? QStringLiteral("Channel %1").arg(i + 1) : given});
        }
        break;
    }
    return channels;
}

void AudioDeviceManager::selectDevice(const QString& uid) {
    if (uid != m_selectedDeviceUID) {
        setSelectedChannelIndex(0);
    }
    restoreDevice(uid);
}

void AudioDeviceManager::restoreDevice(const QString& uid) {
    m_selectedDeviceUID = uid;
    updateAvailableChannels();
    emit changed();
}

void AudioDeviceManager::setSelectedChannelIndex(qint64 index) {
    m_selectedChannelIndex = index;
    m_settings.setValue(platform::keys::selectedChannelIndex, index);
    emit changed();
}

std::optional<std::uint32_t> AudioDeviceManager::getSelectedDeviceID() const {
    for (const auto& device : m_inputDevices) {
        if (device.uid == m_selectedDeviceUID) {
            return device.id;
        }
    }
    return std::nullopt;
}

void AudioDeviceManager::updateAvailableChannels() {
    if (!getSelectedDeviceID()) {
        m_availableInputChannels = {AudioChannel{0, QStringLiteral("Default")}};
        emit changed();
        return;
    }
    m_availableInputChannels = channelsOf(m_selectedDeviceUID);
    if (m_selectedChannelIndex >= m_availableInputChannels.size()) {
        setSelectedChannelIndex(0);
    }
    emit changed();
}

void AudioDeviceManager::refreshDevices() {
    m_inputDevices = enumerate(true);
    m_outputDevices = enumerate(false);
    updateAvailableChannels();
}

bool AudioDeviceManager::hasInputDevice(const QString& uid) const {
    return std::any_of(m_inputDevices.begin(), m_inputDevices.end(),
                       [&uid](const AudioDevice& device) { return device.uid == uid; });
}

QString AudioDeviceManager::captureDeviceUID() const {
    return getSelectedDeviceID() ? m_selectedDeviceUID : QString();
}

} // namespace kavro::services
