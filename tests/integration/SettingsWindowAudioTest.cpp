// SPDX-License-Identifier: GPL-3.0-or-later
// The settings window's Audio tab over the real audio layer and the private PulseAudio
// server of scripts/with-test-servers: choosing the server's "studio_mic" in the window
// moves a running capture there on the server itself. Listing, switching and the pink
// noise are shown at service level (PulseAudioLoopbackTest) and in the window with
// scripted devices (SettingsAudioTabTest).
#include "core/AppState.h"
#include "integration/PulseAudioFixture.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/FakeLoginItemService.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/MemoryFileStore.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "ui/settings/SettingsWindowContent.h"

#include <QComboBox>
#include <QRegularExpression>
#include <QTest>

namespace kavro {
namespace {

using testing::pactl;
using testing::waitUntil;

// The names of the sources this process captures from, as the server sees them.
QStringList sourcesOfOurCapture() {
    QHash<QString, QString> names;
    for (const QString& line : pactl({"list", "short", "sources"}).split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() > 1) {
            names.insert(fields[0], fields[1]);
        }
    }
    const QString ourProcess =
        QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid());
    const QRegularExpression sourceLine(QStringLiteral("Source: (\\d+)"));
    QStringList found;
    for (const QString& block :
         pactl({"list", "source-outputs"}).split(QRegularExpression(QStringLiteral("\n\\s*\n")))) {
        const auto match = sourceLine.match(block);
        if (block.contains(ourProcess) && match.hasMatch()) {
            found.append(names.value(match.captured(1)));
        }
    }
    return found;
}

class SettingsWindowAudioTest : public testing::PulseAudioFixture {
protected:
    // Picks the device with this UID, as from the open list of the picker.
    void chooseMicrophone(ui::SettingsWindowContent& content, const QString& uid) {
        auto* picker = content.findChild<QComboBox*>(QStringLiteral("microphonePicker"));
        ASSERT_TRUE(waitUntil([&] { return picker->findData(uid) > 0; }, 3000)) << uid.toStdString();
        const int index = picker->findData(uid);
        picker->setCurrentIndex(index);
        emit picker->activated(index);
    }

    platform::MemoryPreferencesStore preferences;
    platform::testing::ManualClock clock{QDateTime::currentDateTimeUtc()};
    platform::testing::RecordingNotificationCenter notifications;
    platform::testing::ScriptedWorkspace workspace;
    platform::testing::FakeLoginItemService loginItem;
    platform::testing::MemoryFileStore files;
};

TEST_F(SettingsWindowAudioTest, ChoosingStudioMicMovesTheRunningCaptureThere) {
    core::AppState state(core::AppState::Platform{*backend, preferences, clock, notifications, workspace,
                                                  loginItem, files,
                                                  QStringLiteral("/home/ada/.local/share/Kavro")});
    ui::SettingsWindowContent content(state, ui::BuildInfo{});
    content.show();

    const auto quiet = loadLoopback(QStringLiteral("quiet"), 48000);
    chooseMicrophone(content, quiet.source);
    state.startSession(QStringLiteral("Manual Session"));
    ASSERT_TRUE(waitUntil([&] { return sourcesOfOurCapture() == QStringList{quiet.source}; }, 4000));

    chooseMicrophone(content, QStringLiteral("studio_mic"));
    EXPECT_TRUE(
        waitUntil([&] { return sourcesOfOurCapture() == QStringList{QStringLiteral("studio_mic")}; }, 4000))
        << "capture is on " << sourcesOfOurCapture().join(' ').toStdString();
}

} // namespace
} // namespace kavro
