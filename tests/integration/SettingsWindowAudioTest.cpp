// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window's Audio tab over the real audio layer and the private PulseAudio
// server of scripts/with-test-servers: the server's "studio_mic" is listed, choosing it
// moves a running capture there, and "Play Pink Noise" plays on the null sink
// "monitors", whose monitor studio_mic hears, so the live reading rises.
#include "core/AppState.h"
#include "integration/PulseAudioFixture.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/FakeLoginItemService.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/MemoryFileStore.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "services/AudioMeasurementService.h"
#include "services/PinkNoisePlayer.h"
#include "ui/settings/SettingsWindowContent.h"
#include "ui/widgets/SymbolLabel.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QRegularExpression>
#include <QTest>

namespace kavro {
namespace {

using testing::pactl;
using testing::waitUntil;

// The names of the PulseAudio devices that this process's streams of one kind are on:
// "source-outputs" (capture) on sources, "sink-inputs" (playback) on sinks.
QStringList devicesOfOurStreams(const QString& streams, const QString& devices) {
    QHash<QString, QString> names;
    for (const QString& line : pactl({"list", "short", devices}).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() > 1) {
            names.insert(fields[0], fields[1]);
        }
    }
    const QString deviceKey =
        devices == QLatin1String("sources") ? QStringLiteral("Source: ") : QStringLiteral("Sink: ");
    const QString ourProcess =
        QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid());
    QStringList found;
    for (const QString& block :
         pactl({"list", streams}).split(QRegularExpression(QStringLiteral("\n\\s*\n")))) {
        if (!block.contains(ourProcess)) {
            continue;
        }
        const auto match =
            QRegularExpression(QRegularExpression::escape(deviceKey) + QStringLiteral("(\\d+)")).match(block);
        if (match.hasMatch()) {
            found.append(names.value(match.captured(1)));
        }
    }
    return found;
}

class SettingsWindowAudioTest : public testing::PulseAudioFixture {
protected:
    void SetUp() override {
        PulseAudioFixture::SetUp();
        if (IsSkipped()) {
            return;
        }
        state = std::make_unique<core::AppState>(
            core::AppState::Platform{*backend, preferences, clock, notifications, workspace, loginItem, files,
                                     QStringLiteral("/home/ada/.local/share/Kavro")});
        content = std::make_unique<ui::SettingsWindowContent>(*state, ui::BuildInfo{});
        content->resize(ui::SettingsWindowContent::kWidth, ui::SettingsWindowContent::kHeight);
        content->show();
        QTest::qWait(50);
    }

    void TearDown() override {
        content.reset();
        state.reset();
        PulseAudioFixture::TearDown();
    }

    int entryFor(const char* picker, const QString& uid) const {
        return content->findChild<QComboBox*>(QLatin1String(picker))->findData(uid);
    }

    // Picks the device with this UID, as from the open list of the picker.
    void choose(const char* pickerName, const QString& uid) {
        auto* picker = content->findChild<QComboBox*>(QLatin1String(pickerName));
        const int index = picker->findData(uid);
        ASSERT_GE(index, 0) << uid.toStdString();
        picker->setCurrentIndex(index);
        emit picker->activated(index);
        QTest::qWait(20);
    }

    // The live reading in dBA, or none while it shows no level.
    std::optional<double> liveReading() const {
        const QString text = content->findChild<ui::SymbolLabel*>(QStringLiteral("liveReading"))->text();
        const auto match = QRegularExpression(QStringLiteral("^(\\d+\\.\\d) dBA$")).match(text);
        return match.hasMatch() ? std::optional(match.captured(1).toDouble()) : std::nullopt;
    }

    platform::MemoryPreferencesStore preferences;
    platform::testing::ManualClock clock{QDateTime::currentDateTimeUtc()};
    platform::testing::RecordingNotificationCenter notifications;
    platform::testing::ScriptedWorkspace workspace;
    platform::testing::FakeLoginItemService loginItem;
    platform::testing::MemoryFileStore files;
    std::unique_ptr<core::AppState> state;
    std::unique_ptr<ui::SettingsWindowContent> content;
};

TEST_F(SettingsWindowAudioTest, StudioMicIsListedCaptureMovesThereAndPinkNoiseRaisesTheReading) {
    const QString studioMic = QStringLiteral("studio_mic");
    const QString monitors = QStringLiteral("monitors");
    ASSERT_TRUE(waitUntil([&] { return entryFor("microphonePicker", studioMic) > 0; }, 3000))
        << "the Audio tab lists the server's studio_mic";
    ASSERT_GT(entryFor("outputPicker", monitors), 0);

    // Capture runs on a source that hears nothing.
    const auto quiet = loadLoopback(QStringLiteral("quiet"), 48000);
    ASSERT_TRUE(waitUntil([&] { return entryFor("microphonePicker", quiet.source) > 0; }, 3000))
        << "a source that appears while the window is open is listed";
    choose("microphonePicker", quiet.source);
    state->startSession(QStringLiteral("Manual Session"));
    ASSERT_TRUE(waitUntil(
        [&] { return devicesOfOurStreams("source-outputs", "sources") == QStringList{quiet.source}; }, 4000));

    choose("microphonePicker", studioMic);
    EXPECT_EQ(state->selectedDeviceUID(), studioMic);
    EXPECT_TRUE(waitUntil(
        [&] { return devicesOfOurStreams("source-outputs", "sources") == QStringList{studioMic}; }, 4000))
        << "capture moved to studio_mic";
    ASSERT_TRUE(waitUntil([&] { return state->audioService().isRunning(); }, 2000));
    QTest::qWait(800);
    const double before = liveReading().value_or(0.0);

    choose("outputPicker", monitors);
    auto* pinkNoise = content->findChild<QAbstractButton*>(QStringLiteral("pinkNoiseButton"));
    QTest::mouseClick(pinkNoise, Qt::LeftButton);
    ASSERT_TRUE(state->pinkNoisePlayer().isPlaying());
    EXPECT_TRUE(
        waitUntil([&] { return devicesOfOurStreams("sink-inputs", "sinks") == QStringList{monitors}; }, 4000))
        << "the noise plays on the null sink monitors";
    // The pink noise's samples read about 80 dBA through the default 94 dB offset.
    EXPECT_TRUE(waitUntil([&] { return liveReading().value_or(0.0) > std::max(before + 20.0, 70.0); }, 6000))
        << "live reading before " << before << ", now " << liveReading().value_or(0.0);
    EXPECT_EQ(pinkNoise->text(), QStringLiteral("Stop Pink Noise"));

    QTest::mouseClick(pinkNoise, Qt::LeftButton);
    EXPECT_FALSE(state->pinkNoisePlayer().isPlaying());
    EXPECT_TRUE(waitUntil([&] { return devicesOfOurStreams("sink-inputs", "sinks").isEmpty(); }, 4000));
}

} // namespace
} // namespace kavro
