// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/LevelsCommand.h"
#include "support/CommandRun.h"
#include "support/SoundFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using kavro::testsupport::CommandRun;
using kavro::testsupport::writeWav;

namespace {

CommandRun levels(const QStringList& args) {
    return kavro::testsupport::runCommand(kavro::cli::runLevels, args);
}

float sineAt(long frame, double frequency, double amplitude) {
    return static_cast<float>(amplitude *
                              std::sin(2.0 * std::numbers::pi * frequency * double(frame) / 48000.0));
}

class LevelsCommand : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(LevelsCommand, OneLinePerSecondWithLevelsAndPeaks) {
    // 2.5 s of a 1 kHz tone at half full scale: 84.97 dB with the default offset.
    ASSERT_TRUE(
        writeWav(path("tone.wav"), 48000, 1, 120000, [](long f, int) { return sineAt(f, 1000, 0.5); }));
    const CommandRun run = levels({path("tone.wav"), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.lines();
    ASSERT_EQ(lines.size(), 3);
    const QJsonObject last = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    EXPECT_EQ(last.keys(), (QStringList{"dBA", "dBC", "peakDBA", "peakDBC", "t"}));
    EXPECT_NEAR(last["t"].toDouble(), 2.5, 1e-9);
    EXPECT_NEAR(last["dBA"].toDouble(), 84.97, 0.05);
    EXPECT_NEAR(last["dBC"].toDouble(), 84.97, 0.05);
    EXPECT_NEAR(last["peakDBA"].toDouble(), 87.98, 0.03);
    EXPECT_NEAR(last["peakDBC"].toDouble(), 87.98, 0.03);
    EXPECT_NEAR(QJsonDocument::fromJson(lines.first().toUtf8()).object()["t"].toDouble(), 1.0, 1e-9);
}

TEST_F(LevelsCommand, OffsetAndChannelChooseWhatIsMeasured) {
    // Left: a quiet 1 kHz tone; right: full scale.
    ASSERT_TRUE(writeWav(path("stereo.wav"), 48000, 2, 48000,
                         [](long f, int c) { return sineAt(f, 1000, c == 0 ? 0.01 : 1.0); }));
    const auto lastLevel = [](const CommandRun& run) {
        return QJsonDocument::fromJson(run.lines().last().toUtf8()).object()["dBA"].toDouble();
    };
    EXPECT_NEAR(lastLevel(levels({path("stereo.wav"), "--json"})), 50.99, 0.1);
    EXPECT_NEAR(lastLevel(levels({path("stereo.wav"), "--json", "--channel", "1"})), 90.99, 0.1);
    EXPECT_NEAR(lastLevel(levels({path("stereo.wav"), "--json", "--channel=1", "--offset", "100"})), 96.99,
                0.1);

    const CommandRun text = levels({path("stereo.wav")});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_TRUE(text.lines().first().contains("dBA")) << text.out.toStdString();
}

TEST_F(LevelsCommand, BadInputGetsOneClearLineAndAFailingExit) {
    QFile text(path("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is not a recording\n");
    text.close();
    ASSERT_TRUE(writeWav(path("empty.wav"), 48000, 1, 0, [](long, int) { return 0.0f; }));
    ASSERT_TRUE(writeWav(path("mono.wav"), 48000, 1, 4800, [](long, int) { return 0.0f; }));
    // Far below audio rates the weighting filters give hundreds of decibels.
    ASSERT_TRUE(writeWav(path("8hz.wav"), 8, 1, 80, [](long f, int) { return sineAt(f, 6000, 0.5); }));
    ASSERT_TRUE(
        writeWav(path("7999hz.wav"), 7999, 1, 7999, [](long f, int) { return sineAt(f, 1000, 0.5); }));

    struct Case {
        QStringList args;
        int exitCode;
        const char* mentions;
    };
    const Case cases[] = {
        {{path("missing.wav")}, 1, "no such file"},
        {{path("notes.txt")}, 1, "unsupported"},
        {{path("empty.wav")}, 1, "no audio"},
        {{path("mono.wav"), "--channel", "1"}, 1, "channel 1"},
        {{path("mono.wav"), "--channel", "-1"}, 1, "channel -1"},
        {{path("mono.wav"), "--offset", "loud"}, 2, "--offset"},
        {{path("mono.wav"), "--offset", "1e308"}, 2, "--offset must lie between 0 and 200 dB, not 1e308"},
        {{path("mono.wav"), "--offset", "-1"}, 2, "--offset must lie between 0 and 200 dB"},
        {{path("mono.wav"), "--offset", "200.5"}, 2, "--offset must lie between 0 and 200 dB"},
        {{path("8hz.wav")}, 1, "the sample rate of 8 Hz is too low to measure (at least 8000 Hz is needed)"},
        {{path("7999hz.wav")}, 1, "the sample rate of 7999 Hz is too low"},
        {{path("mono.wav"), "--bogus"}, 2, "--bogus"},
        {{}, 2, "FILE"},
    };
    for (const auto& c : cases) {
        const CommandRun run = levels(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(c.mentions))) << run.err.toStdString();
    }
}

TEST_F(LevelsCommand, TheLowestAndHighestOffsetsAndTheLowestRateAreMeasured) {
    ASSERT_TRUE(writeWav(path("8khz.wav"), 8000, 1, 8000, [](long f, int) { return sineAt(f, 1000, 0.5); }));
    for (const char* offset : {"0", "200"}) {
        const CommandRun run = levels({path("8khz.wav"), "--offset", offset});
        EXPECT_EQ(run.exitCode, 0) << offset << ": " << run.err.toStdString();
    }
}

// A file cut short (a broken download, a full disk while recording) is measured as far as
// it goes, and the user is told how far that is.
TEST_F(LevelsCommand, AFileCutShortIsMeasuredWithAWarningOfHowMuchWasRead) {
    ASSERT_TRUE(writeWav(path("cut.wav"), 48000, 1, 96000, [](long f, int) { return sineAt(f, 1000, 0.5); }));
    QFile file(path("cut.wav"));
    ASSERT_TRUE(file.resize(file.size() - 48000 * 4 * 3 / 2)); // 1.5 s of float samples gone
    const CommandRun run = levels({path("cut.wav")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.lines().size(), 1) << run.out.toStdString();
    EXPECT_EQ(run.err, "kavro-cli: warning: " + path("cut.wav") +
                           " is cut short: only 0.5 s of the 2.0 s it announces could be read; the results "
                           "cover those 0.5 s\n");

    ASSERT_TRUE(
        writeWav(path("whole.wav"), 48000, 1, 48000, [](long f, int) { return sineAt(f, 1000, 0.5); }));
    EXPECT_TRUE(levels({path("whole.wav")}).err.isEmpty());
}
