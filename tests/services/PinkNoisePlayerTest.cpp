// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/PinkNoisePlayer.h"

#include "dsp/PinkNoiseGenerator.h"
#include "platform/testing/ScriptedAudioBackend.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using kavro::dsp::PinkNoiseGenerator;
using kavro::platform::testing::ScriptedAudioBackend;
using kavro::services::PinkNoisePlayer;

class PinkNoisePlayerTest : public ::testing::Test {
protected:
    // The player renders a fresh generator's sequence, the same on both channels.
    static void expectSeededStereo(const std::vector<float>& rendered, std::size_t frames) {
        ASSERT_EQ(rendered.size(), 2 * frames);
        PinkNoiseGenerator generator;
        for (std::size_t i = 0; i < frames; ++i) {
            const float expected = generator.next();
            ASSERT_EQ(rendered[2 * i], expected) << i;
            ASSERT_EQ(rendered[2 * i + 1], expected) << i;
        }
    }

    ScriptedAudioBackend backend;
    PinkNoisePlayer player{backend};
};

TEST_F(PinkNoisePlayerTest, PlaysTheSeededSequenceInStereoAt44100) {
    QSignalSpy changed(&player, &PinkNoisePlayer::changed);
    ASSERT_TRUE(player.start(std::nullopt));
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(changed.count(), 1);
    auto* stream = backend.playbackStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(stream->deviceUid().isEmpty());
    EXPECT_EQ(stream->format().sampleRate, 44100.0);
    EXPECT_EQ(stream->format().channelCount, 2);

    // Two pulls continue one sequence.
    auto rendered = stream->render(1000);
    const auto more = stream->render(500);
    rendered.insert(rendered.end(), more.begin(), more.end());
    expectSeededStereo(rendered, 1500);
}

TEST_F(PinkNoisePlayerTest, SecondStartKeepsTheDeviceAndRestartBeginsTheSequenceAgain) {
    ASSERT_TRUE(player.start(QStringLiteral("monitors")));
    backend.playbackStream()->render(4096);
    EXPECT_TRUE(player.start(QStringLiteral("headphones")));
    EXPECT_EQ(backend.playbackOpenCount(), 1);
    EXPECT_EQ(backend.playbackStream()->deviceUid(), QStringLiteral("monitors"));

    player.stop();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(backend.playbackStream(), nullptr) << "stop releases the stream";
    ASSERT_TRUE(player.start(QStringLiteral("headphones")));
    EXPECT_EQ(backend.playbackStream()->deviceUid(), QStringLiteral("headphones"));
    expectSeededStereo(backend.playbackStream()->render(64), 64);
}

TEST_F(PinkNoisePlayerTest, FailedStartReportsAndStaysIdle) {
    backend.playbackStartError = QStringLiteral("device busy");
    QSignalSpy changed(&player, &PinkNoisePlayer::changed);
    QSignalSpy problems(&player, &PinkNoisePlayer::problem);
    EXPECT_FALSE(player.start(std::nullopt));
    ASSERT_EQ(problems.count(), 1);
    EXPECT_EQ(problems.at(0).at(0).toString(), "[Kavro] PinkNoisePlayer failed to start: device busy");
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(backend.playbackStream(), nullptr);
}

TEST_F(PinkNoisePlayerTest, ConfigurationChangeEndsPlaybackWithoutResuming) {
    ASSERT_TRUE(player.start(std::nullopt));
    QSignalSpy changed(&player, &PinkNoisePlayer::changed);
    backend.playbackStream()->notifyConfigurationChanged();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(backend.playbackStream(), nullptr);
    EXPECT_EQ(backend.playbackOpenCount(), 1);

    // Stopping while idle changes nothing.
    player.stop();
    EXPECT_EQ(changed.count(), 1);
}

} // namespace
