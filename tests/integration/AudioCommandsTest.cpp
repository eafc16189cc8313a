// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DevicesCommand.h"
#include "cli/MeterCommand.h"
#include "cli/PinkNoiseCommand.h"
#include "integration/PulseAudioFixture.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

using kavro::testing::PulseAudioFixture;
using kavro::testing::Tone;

// The audio commands of kavro-cli, run in-process against the test server.
class AudioCommandsTest : public PulseAudioFixture {
protected:
    template <typename Command> int run(Command command, const QStringList& args) {
        out.clear();
        err.clear();
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        kavro::cli::CommandContext context{outStream, errStream, false};
        const int code = command(args, context);
        outStream.flush();
        errStream.flush();
        return code;
    }

    QString out;
    QString err;
};

TEST_F(AudioCommandsTest, DevicesListsInputsAndOutputsWithTheirUIDs) {
    const auto loopback = loadLoopback("list", 48000, 2);
    ASSERT_EQ(run(kavro::cli::runDevices, {}), kavro::cli::kExitOk);
    const qsizetype outputs = out.indexOf("Outputs:");
    ASSERT_GT(outputs, 0);
    const qsizetype input = out.indexOf(loopback.source + "  \"Kavro_list_mic\"  2 channels  48000 Hz");
    EXPECT_GT(input, 0) << out.toStdString();
    EXPECT_LT(input, outputs);
    EXPECT_GT(out.indexOf(loopback.sink + "  \"Kavro_list_out\"  2 channels  48000 Hz"), outputs);
}

TEST_F(AudioCommandsTest, MeterPrintsTenJsonLinesASecondFromTheChosenChannel) {
    const auto loopback = loadLoopback("meter", 48000, 2);
    play(loopback.sink, 48000, Tone{1000, 0.001, 0.5});
    ASSERT_EQ(run(kavro::cli::runMeter,
                  {"--device", loopback.source, "--channel", "1", "--seconds", "3", "--json"}),
              kavro::cli::kExitOk)
        << err.toStdString();
    const QStringList lines = out.trimmed().split('\n');
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
    EXPECT_EQ(run(kavro::cli::runPinkNoise, {"--output", "no_such_sink", "--seconds", "0.3"}),
              kavro::cli::kExitOk)
        << err.toStdString();
}

} // namespace
