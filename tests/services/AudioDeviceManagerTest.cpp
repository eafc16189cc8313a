// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/AudioDeviceManager.h"

#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/ScriptedAudioBackend.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

using kavro::models::AudioChannel;
using kavro::platform::AudioDeviceDescription;
using kavro::platform::MemoryPreferencesStore;
using kavro::platform::testing::ScriptedAudioBackend;
using kavro::services::AudioDeviceManager;

AudioDeviceDescription device(const QString& uid, int channels, const QString& name = QStringLiteral("Mic"),
                              const QString& manufacturer = QString(), QStringList channelNames = {}) {
    AudioDeviceDescription description;
    description.uid = uid;
    description.name = name;
    description.manufacturer = manufacturer;
    description.channelCount = channels;
    description.sampleRate = 48000;
    description.channelNames = std::move(channelNames);
    return description;
}

class AudioDeviceManagerTest : public ::testing::Test {
protected:
    AudioDeviceManagerTest() {
        backend.inputs = {device("usb", 4, "Interface", "Focusrite", {"Mic 1", "", "Line 3"}),
                          device("", 1, "", ""), device("dead", 0)};
        backend.outputs = {device("usb", 2, "Interface", "Focusrite"), device("hdmi", 2, "HDMI", "Unknown")};
    }

    std::unique_ptr<AudioDeviceManager> makeManager() {
        return std::make_unique<AudioDeviceManager>(backend, preferences);
    }
    std::int64_t storedChannel() const { return *preferences.integer("selectedChannelIndex"); }

    ScriptedAudioBackend backend;
    MemoryPreferencesStore preferences;
};

TEST_F(AudioDeviceManagerTest, ListsDevicesWithFallbacksAndChannelNames) {
    auto manager = makeManager();
    ASSERT_EQ(manager->inputDevices().size(), 2) << "a device without inputs is not an input";
    const auto& usb = manager->inputDevices().at(0);
    EXPECT_EQ(usb.displayName(), "Interface (Focusrite)");
    EXPECT_TRUE(usb.hasInput);
    const auto& anonymous = manager->inputDevices().at(1);
    EXPECT_EQ(anonymous.name, "Unknown Device");
    EXPECT_EQ(anonymous.manufacturer, "Unknown");
    EXPECT_EQ(anonymous.uid, QString::number(anonymous.id));
    EXPECT_EQ(anonymous.displayName(), "Unknown Device");

    ASSERT_EQ(manager->outputDevices().size(), 2);
    EXPECT_FALSE(manager->outputDevices().at(0).hasInput);
    EXPECT_EQ(manager->outputDevices().at(1).displayName(), "HDMI");

    EXPECT_EQ(manager->availableInputChannels(), QList<AudioChannel>({{0, "Default"}}));
    manager->selectDevice("usb");
    EXPECT_EQ(manager->availableInputChannels(),
              QList<AudioChannel>({{0, "Mic 1"}, {1, "Channel 2"}, {2, "Line 3"}, {3, "Channel 4"}}));
    EXPECT_EQ(manager->getSelectedDeviceID(), usb.id);
}

TEST_F(AudioDeviceManagerTest, ChannelFollowsTheSelection) {
    auto manager = makeManager();
    manager->selectDevice("usb");
    manager->setSelectedChannelIndex(3);
    manager->selectDevice("usb");
    EXPECT_EQ(manager->selectedChannelIndex(), 3) << "the same device keeps its channel";

    backend.inputs.append(device("stereo", 2));
    manager->refreshDevices();
    manager->selectDevice("stereo");
    EXPECT_EQ(manager->selectedChannelIndex(), 0);
    EXPECT_EQ(storedChannel(), 0);

    // The default input lists one channel and leaves the index alone.
    manager->setSelectedChannelIndex(1);
    manager->selectDevice("");
    EXPECT_EQ(manager->selectedChannelIndex(), 0) << "a different UID resets";
    manager->setSelectedChannelIndex(1);
    manager->updateAvailableChannels();
    EXPECT_EQ(manager->selectedChannelIndex(), 1);
    EXPECT_EQ(manager->availableInputChannels().size(), 1);

    // A channel the device no longer has falls back to the first.
    manager->selectDevice("usb");
    manager->setSelectedChannelIndex(3);
    backend.inputs[0].channelCount = 2;
    manager->refreshDevices();
    EXPECT_EQ(manager->selectedChannelIndex(), 0);
    EXPECT_EQ(storedChannel(), 0);
}

struct RestoreCase {
    const char* storedUid;
    std::int64_t storedChannel;
    std::int64_t expectedChannel;
};

void PrintTo(const RestoreCase& c, std::ostream* os) {
    *os << c.storedUid << " channel " << c.storedChannel;
}

class AudioDeviceManagerRestoreTest : public AudioDeviceManagerTest,
                                      public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(AudioDeviceManagerRestoreTest, RestoringKeepsTheStoredChannelWhereTheDeviceHasIt) {
    const RestoreCase& c = GetParam();
    preferences.setInteger("selectedChannelIndex", c.storedChannel);
    auto manager = makeManager();
    EXPECT_EQ(manager->selectedChannelIndex(), c.storedChannel);
    manager->restoreDevice(c.storedUid);
    manager->selectDevice("usb");
    EXPECT_EQ(manager->selectedChannelIndex(), c.expectedChannel);
    EXPECT_EQ(storedChannel(), c.expectedChannel);

    // Later selections follow the ordinary rule.
    manager->selectDevice("");
    manager->setSelectedChannelIndex(2);
    manager->selectDevice("usb");
    EXPECT_EQ(manager->selectedChannelIndex(), 0);
}

INSTANTIATE_TEST_SUITE_P(Launch, AudioDeviceManagerRestoreTest,
                         ::testing::Values(RestoreCase{"usb", 2, 2}, RestoreCase{"usb", 4, 0},
                                           RestoreCase{"other", 2, 0}));

TEST_F(AudioDeviceManagerTest, PlatformDeviceChangeRefreshesOnTheNextTurnOfTheLoop) {
    auto manager = makeManager();
    int changes = 0;
    QObject::connect(manager.get(), &AudioDeviceManager::changed, [&] { ++changes; });
    backend.inputs.append(device("new", 2, "New Mic"));
    backend.notifyDevicesChanged();
    EXPECT_EQ(manager->inputDevices().size(), 2) << "not inside the platform's callback";
    QCoreApplication::sendPostedEvents(manager.get());
    ASSERT_EQ(manager->inputDevices().size(), 3);
    EXPECT_EQ(manager->inputDevices().at(2).uid, "new");
    EXPECT_GT(changes, 0);

    // Ids stay with their device while it is present.
    const auto usbId = manager->inputDevices().at(0).id;
    backend.inputs.removeFirst();
    backend.notifyDevicesChanged();
    QCoreApplication::sendPostedEvents(manager.get());
    EXPECT_FALSE(manager->hasInputDevice("usb"));
    backend.inputs.prepend(device("usb", 4));
    manager->refreshDevices();
    EXPECT_EQ(manager->inputDevices().at(0).id, usbId);
}

} // namespace
