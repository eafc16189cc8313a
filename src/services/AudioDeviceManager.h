// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/AudioDevice.h"
#include "platform/AudioBackend.h"
#include "platform/Settings.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <memory>
#include <optional>

namespace kavro::services {

// The shared model of the machine's audio devices: the input and output lists, the
// selected input device (by persistent UID), its channels and the selected channel.
// The channel is kept in the preferences here; the device is the application state's
// setting, which it hands over through selectDevice() and restoreDevice().
class AudioDeviceManager : public QObject {
    Q_OBJECT
public:
    AudioDeviceManager(platform::AudioBackend& backend, platform::Settings settings,
                       QObject* parent = nullptr);
    ~AudioDeviceManager() override;

    const QList<models::AudioDevice>& inputDevices() const { return m_inputDevices; }
    const QList<models::AudioDevice>& outputDevices() const { return m_outputDevices; }
    const QString& selectedDeviceUID() const { return m_selectedDeviceUID; }
    const QList<models::AudioChannel>& availableInputChannels() const { return m_availableInputChannels; }
    qint64 selectedChannelIndex() const { return m_selectedChannelIndex; }

    // Selects an input device by UID (empty for the system default). A different UID
    // first resets the channel to 0. Does not restart capture.
    void selectDevice(const QString& uid);
    // At launch: selects the device chosen in an earlier run. The stored channel belongs
    // to that device, so it stays while the device has it.
    void restoreDevice(const QString& uid);
    // Every assignment is stored in the preferences.
    void setSelectedChannelIndex(qint64 index);
    // The id of the selected device while it is in the input list.
    std::optional<std::uint32_t> getSelectedDeviceID() const;
    void updateAvailableChannels();
    // Re-reads both device lists and the channels of the selection. Runs by itself
    // whenever the platform reports that the lists changed.
    void refreshDevices();
    bool hasInputDevice(const QString& uid) const;

    // The UID to open capture on: the selected device while it is present, else the
    // empty UID of the system default input.
    QString captureDeviceUID() const;

signals:
    void changed();

private:
    QList<models::AudioDevice> enumerate(bool inputs);
    QList<models::AudioChannel> channelsOf(const QString& uid) const;

    platform::AudioBackend& m_backend;
    platform::Settings m_settings;
    std::unique_ptr<platform::AudioBackend::ListenerRegistration> m_listener;
    QList<models::AudioDevice> m_inputDevices;
    QList<models::AudioDevice> m_outputDevices;
    QString m_selectedDeviceUID;
    QList<models::AudioChannel> m_availableInputChannels;
    qint64 m_selectedChannelIndex = 0;
    QHash<QString, std::uint32_t> m_idsByUid;
    std::uint32_t m_nextId = 1;
};

} // namespace kavro::services
