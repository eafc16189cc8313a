// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CalibrateCommand.h"
#include "cli/CalibrateLevelCommand.h"
#include "cli/DevicesCommand.h"
#include "cli/MeterCommand.h"
#include "cli/PinkNoiseCommand.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/Settings.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "support/CommandRun.h"
#include "support/TestSignals.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

using kavro::cli::kExitFailure;
using kavro::cli::kExitOk;
using kavro::cli::kExitUsage;
using kavro::testsupport::CommandRun;
using Command = int (*)(const QStringList&, kavro::cli::CommandContext&);

// The commands that work on live devices, run on scripted ones.
class LiveCommandsTest : public ::testing::Test {
protected:
    LiveCommandsTest() {
        backend.inputs = {{"usb", "USB Mic", "", 2, 48000.0, {}, false},
                          {"builtin", "Built-in Mic", "", 1, 44100.0, {}, true}};
    }

    CommandRun run(Command command, const QStringList& args) {
        return kavro::testsupport::runCommand(command, args, &preferences, &backend);
    }

    // Runs the action once the command waits in its event loop.
    static void whileRunning(const std::function<void()>& action) { QTimer::singleShot(0, action); }

    kavro::platform::testing::ScriptedAudioBackend backend;
    kavro::platform::MemoryPreferencesStore preferences;
};

TEST_F(LiveCommandsTest, DevicesMarksTheDefaultAndSaysWhenAListIsEmpty) {
    const CommandRun devices = run(kavro::cli::runDevices, {});
    EXPECT_EQ(devices.exitCode, kExitOk);
    EXPECT_EQ(devices.out, "Inputs:\n"
                           "   usb  \"USB Mic\"  2 channels  48000 Hz\n"
                           " * builtin  \"Built-in Mic\"  1 channel  44100 Hz\n"
                           "Outputs:\n"
                           "  (none)\n");
}

// Without --offset the meter measures with the calibration the user stored, as the
// program does.
TEST_F(LiveCommandsTest, MeterMeasuresTheChosenChannelWithTheOffsetGivenOrStored) {
    kavro::platform::Settings(preferences).setValue(kavro::platform::keys::calibrationOffset, 100.0);
    for (const QStringList& offset : {QStringList{"--offset", "100"}, QStringList{}}) {
        QString device;
        int channel = -1;
        whileRunning([&] {
            auto* stream = backend.stream();
            device = stream->deviceUid();
            channel = stream->deviceChannel();
            // A 0.5 sine: 9.03 dB below full scale.
            stream->deliver(
                std::vector<std::vector<float>>(40, kavro::testing::sineBuffer(1000, 0.5, 48000, 1024)));
        });
        const CommandRun meter =
            run(kavro::cli::runMeter,
                QStringList{"--device", "usb", "--channel", "1", "--seconds", "0.3", "--json"} + offset);
        ASSERT_EQ(meter.exitCode, kExitOk) << meter.err.toStdString();
        EXPECT_EQ(device, "usb");
        EXPECT_EQ(channel, 1);
        const QStringList lines = meter.lines();
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_LE(lines.size(), 3);
        const auto first = QJsonDocument::fromJson(lines.front().toUtf8()).object();
        const auto last = QJsonDocument::fromJson(lines.back().toUtf8()).object();
        EXPECT_NEAR(first.value("peakDBA").toDouble(), 94.0, 1.0);
        EXPECT_NEAR(last.value("dBA").toDouble(), 90.97, 1.0);
        EXPECT_NEAR(last.value("t").toDouble(), 0.3, 0.1);
    }
}

TEST_F(LiveCommandsTest, PinkNoisePlaysOnTheChosenOutputUntilTheTimeOrTheDeviceIsGone) {
    QString device;
    whileRunning([&] { device = backend.playbackStream()->deviceUid(); });
    EXPECT_EQ(run(kavro::cli::runPinkNoise, {"--output", "speakers", "--seconds", "0.05"}).exitCode, kExitOk);
    EXPECT_EQ(device, "speakers");

    whileRunning([&] { backend.playbackStream()->notifyConfigurationChanged(); });
    const CommandRun gone = run(kavro::cli::runPinkNoise, {"--device", "speakers"});
    EXPECT_EQ(gone.exitCode, kExitFailure);
    EXPECT_TRUE(gone.err.contains("went away")) << gone.err.toStdString();
}

TEST_F(LiveCommandsTest, RefusesWhatItCannotDoBeforeAnyDeviceRuns) {
    struct Case {
        Command command;
        QStringList args;
        int exitCode;
        const char* saying;
    };
    const Case cases[] = {
        {kavro::cli::runMeter, {"--input", "nowhere"}, kExitFailure, "\"nowhere\""},
        {kavro::cli::runMeter, {"--device", "usb", "--channel", "2"}, kExitFailure, "usb has no channel 2"},
        {kavro::cli::runMeter, {"--channel", "1"}, kExitFailure, "the default input has no channel 1"},
        {kavro::cli::runMeter, {"--channel", "-1"}, kExitUsage, "--channel"},
        {kavro::cli::runMeter, {"--seconds", "0"}, kExitUsage, "--seconds"},
        {kavro::cli::runMeter, {"--input"}, kExitUsage, "--input needs a value"},
        {kavro::cli::runPinkNoise, {"--seconds", "-1"}, kExitUsage, "--seconds"},
        {kavro::cli::runPinkNoise, {"--input", "usb"}, kExitUsage, "unknown option --input"},
        {kavro::cli::runCalibrate,
         {"--input", "usb", "--channel", "2"},
         kExitFailure,
         "usb has no channel 2"},
        {kavro::cli::runCalibrate, {"now"}, kExitUsage, "unexpected argument"},
        {kavro::cli::runCalibrateLevel, {}, kExitUsage, "either --calibrator DB or --reference DB"},
        {kavro::cli::runCalibrateLevel, {"--calibrator", "94", "--reference", "80"}, kExitUsage, "either"},
        {kavro::cli::runCalibrateLevel, {"--reference", "80", "--weighting", "Z"}, kExitUsage, "A or C"},
        {kavro::cli::runCalibrateLevel, {"--calibrator", "-3"}, kExitUsage, "--calibrator needs a level"},
    };
    for (const Case& c : cases) {
        const CommandRun refused = run(c.command, c.args);
        EXPECT_EQ(refused.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(refused.err.contains(QString::fromUtf8(c.saying))) << refused.err.toStdString();
        EXPECT_EQ(backend.openCount() + backend.playbackOpenCount(), 0) << c.args.join(' ').toStdString();
    }
}

} // namespace
