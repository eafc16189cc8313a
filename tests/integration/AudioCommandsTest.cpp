// SPDX-License-Identifier: GPL-3.0-or-later
// The audio commands of kavro-cli, run in-process against the test server: the meter
// end to end, and the real backend's fallback for an output it does not know. The
// commands' words and refusals are tested over scripted devices (LiveCommandsTest).
#include "cli/MeterCommand.h"
#include "cli/PinkNoiseCommand.h"
#include "integration/PulseAudioFixture.h"
#include "support/CommandRun.h"

namespace {

using kavro::testing::Tone;
using kavro::testsupport::CommandRun;
using kavro::testsupport::runCommand;

using AudioCommandsTest = kavro::testing::PulseAudioFixture;

TEST_F(AudioCommandsTest, MeterPrintsTenJsonLinesASecondFromTheChosenChannel) {
    const auto loopback = loadLoopback("meter", 48000, 2);
    play(loopback.sink, 48000, Tone{1000, 0.001, 0.5});
    const CommandRun meter = runCommand(
        kavro::cli::runMeter, {"--device", loopback.source, "--channel", "1", "--seconds", "3", "--json"});
    ASSERT_EQ(meter.exitCode, kavro::cli::kExitOk) << meter.err.toStdString();
    const QStringList lines = meter.lines();
    EXPECT_GE(lines.size(), 28);
    EXPECT_LE(lines.size(), 31);
    const QJsonObject last = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    EXPECT_EQ(last.keys(), QStringList({"dBA", "dBC", "peakDBA", "peakDBC", "t"}));
    EXPECT_NEAR(last.value("t").toDouble(), 3.0, 0.15);
    // Channel 1 carries the loud tone: a 0.5 sine reads about 85 dB with the default offset.
    EXPECT_NEAR(last.value("dBA").toDouble(), 84.96, 1.0);
    EXPECT_NEAR(last.value("peakDBA").toDouble(), 87.96, 1.0);
}

TEST_F(AudioCommandsTest, PinkNoiseOnAnUnknownOutputPlaysOnTheDefault) {
    const CommandRun noise =
        runCommand(kavro::cli::runPinkNoise, {"--output", "no_such_sink", "--seconds", "0.3"});
    EXPECT_EQ(noise.exitCode, kavro::cli::kExitOk) << noise.err.toStdString();
}

} // namespace
