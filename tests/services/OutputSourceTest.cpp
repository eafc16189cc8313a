// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/OutputSource.h"

#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/ScriptedOutputTap.h"
#include "services/AudioDeviceManager.h"
#include "services/AudioMeasurementService.h"
#include "services/DefaultOutputReference.h"
#include "support/ParamNames.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace {

using kavro::platform::OutputDescription;
using kavro::services::OutputReference;
using kavro::services::OutputSource;

OutputDescription output(const QString& name, bool isDefault, bool headphones = false) {
    OutputDescription description;
    description.name = name;
    description.description = name;
    description.channelCount = 2;
    description.sampleRate = 48000;
    description.isDefault = isDefault;
    description.headphones = headphones;
    return description;
}

// PulseAudio's 50 %: a cubic volume curve, (0.5)³ in amplitude.
const double kHalfVolumeDb = 60.0 * std::log10(0.5);

struct VolumeCase {
    std::string name;
    bool hardwareVolume;
    double volumeDb;
    bool muted;
    std::optional<double> expectedGain; // above the reference; none: nothing reaches the ear
};

void PrintTo(const VolumeCase& volumeCase, std::ostream* os) {
    *os << volumeCase.name;
}

class OutputVolumeRuleTest : public ::testing::TestWithParam<VolumeCase> {};

// Only a volume that the monitor does not carry is added; mute silences either way.
TEST_P(OutputVolumeRuleTest, GainIsReferencePlusVolumeNotInTheMonitor) {
    const VolumeCase& volumeCase = GetParam();
    OutputDescription description = output(QStringLiteral("phones"), true);
    description.hardwareVolume = volumeCase.hardwareVolume;
    description.volumeDb = volumeCase.volumeDb;
    description.muted = volumeCase.muted;
    const OutputReference reference{100.0, false, {}};
    const auto gain = OutputSource::gainDb(description, reference);
    ASSERT_EQ(gain.has_value(), volumeCase.expectedGain.has_value());
    if (gain) {
        EXPECT_NEAR(*gain, reference.fullScaleDbSpl + *volumeCase.expectedGain, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Volumes, OutputVolumeRuleTest,
    ::testing::Values(VolumeCase{"SoftwareFull", false, 0.0, false, 0.0},
                      VolumeCase{"SoftwareHalfIsInTheMonitor", false, kHalfVolumeDb, false, 0.0},
                      VolumeCase{"HardwareHalfIsAdded", true, kHalfVolumeDb, false, kHalfVolumeDb},
                      VolumeCase{"HardwareZeroIsSilence", true, -std::numeric_limits<double>::infinity(),
                                 false, std::nullopt},
                      VolumeCase{"SoftwareMuted", false, 0.0, true, std::nullopt},
                      VolumeCase{"HardwareMuted", true, 0.0, true, std::nullopt}),
    kavro::testing::PrintedName());

TEST(OutputSourceChoiceTest, SettingInputsAndHeadphonesDecide) {
    struct Case {
        const char* setting;
        bool hasInput;
        bool headphones;
        bool output;
    };
    const Case cases[] = {
        {"microphone", false, true, false},
        {"output", true, false, true},
        {"automatic", true, true, true},
        {"automatic", true, false, false},
        // Nothing stored: automatic only where no input device exists.
        {"", false, true, true},
        {"", true, true, false},
    };
    for (const Case& c : cases) {
        const QString stored = QString::fromLatin1(c.setting);
        const auto choice = kavro::models::measureFromInForce(
            stored.isEmpty() ? std::nullopt : std::optional(stored), c.hasInput);
        EXPECT_EQ(OutputSource::measuresOutput(choice, c.headphones), c.output)
            << c.setting << " input=" << c.hasInput << " headphones=" << c.headphones;
    }
}

// The measurement on the scripted tap: it follows the default output as the user
// switches it, and an output that vanishes is a lost input, retried.
class OutputMeasurementTest : public ::testing::Test {
protected:
    OutputMeasurementTest() {
        tap.outputList = {output(QStringLiteral("speakers"), false),
                          output(QStringLiteral("phones"), true, true)};
        devices = std::make_unique<kavro::services::AudioDeviceManager>(microphones, preferences);
        service =
            std::make_unique<kavro::services::AudioMeasurementService>(microphones, *devices, clock, 0.0);
        service->setOutputSource(&source);
    }

    void setDefault(const QString& name) {
        for (OutputDescription& description : tap.outputList) {
            description.isDefault = description.name == name;
        }
        tap.notifyChanged();
    }

    kavro::platform::testing::ScriptedOutputTap tap;
    kavro::services::DefaultOutputReference references;
    OutputSource source{tap, references};
    kavro::platform::testing::ScriptedAudioBackend microphones;
    kavro::platform::MemoryPreferencesStore preferences;
    kavro::platform::testing::ManualClock clock;
    std::unique_ptr<kavro::services::AudioDeviceManager> devices;
    std::unique_ptr<kavro::services::AudioMeasurementService> service;
};

TEST_F(OutputMeasurementTest, FollowsTheDefaultOutputAndMeasuresItsChannels) {
    service->start();
    ASSERT_NE(tap.stream(), nullptr);
    EXPECT_EQ(tap.stream()->deviceUid(), QStringLiteral("phones"));

    // A full-scale sine in the right ear only reads the estimate minus 3.01 dB (22 whole
    // cycles a buffer, near 1 kHz).
    std::vector<float> buffer(2048);
    for (std::size_t frame = 0; frame < 1024; ++frame) {
        buffer[frame * 2 + 1] =
            static_cast<float>(std::sin(2.0 * std::numbers::pi * 22.0 * double(frame) / 1024.0));
    }
    tap.stream()->deliver(std::vector<std::vector<float>>(40, buffer));
    QCoreApplication::sendPostedEvents();
    EXPECT_NEAR(service->currentSPL(), OutputReference{}.fullScaleDbSpl - 10.0 * std::log10(2.0), 0.1);

    setDefault(QStringLiteral("speakers"));
    EXPECT_TRUE(kavro::testing::waitUntil(
        [&] { return tap.stream() && tap.stream()->deviceUid() == "speakers"; }, 2000));
    EXPECT_TRUE(service->isRunning());
}

TEST_F(OutputMeasurementTest, VanishedOutputIsALostInputThatComesBack) {
    source.setChosenOutput(QStringLiteral("phones"));
    int losses = 0;
    service->onCaptureLost = [&] { ++losses; };
    service->start();
    ASSERT_NE(tap.stream(), nullptr);
    const auto phones = tap.outputList.takeLast();
    tap.notifyChanged();
    tap.stream()->notifyConfigurationChanged();
    EXPECT_TRUE(kavro::testing::waitUntil([&] { return losses == 1; }, 2000));
    EXPECT_TRUE(service->isRetrying());

    tap.outputList.append(phones);
    clock.advance(1.0);
    service->watchTick();
    ASSERT_NE(tap.stream(), nullptr);
    EXPECT_EQ(tap.stream()->deviceUid(), QStringLiteral("phones"));
}

} // namespace
