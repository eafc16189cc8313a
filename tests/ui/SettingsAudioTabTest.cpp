// SPDX-License-Identifier: GPL-3.0-or-later
// The Audio tab over the application state with scripted devices: the pickers, the
// offset slider, the pink-noise button and its target, the response measurement's
// states, the stored correction and the calibration profiles, as a user meets them.
#include "core/CalibrationCenter.h"
#include "models/NumberText.h"
#include "platform/Settings.h"
#include "support/ParamNames.h"
#include "support/WaitUntil.h"
#include "ui/SettingsFixture.h"
#include "ui/settings/AudioTab.h"
#include "ui/settings/CorrectionCurveView.h"
#include "ui/settings/LevelCalibrationSection.h"
#include "ui/widgets/SymbolLabel.h"
#include "ui/widgets/WrappedText.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QSlider>
#include <QSpinBox>

namespace kavro {
namespace {

using models::MicCalibrationState;
using testing::SettingsFixture;
using ui::SymbolLabel;
using ui::WrappedText;
namespace keys = platform::keys;

models::MicCorrectionProfile correction(float gainAt1k) {
    models::MicCorrectionProfile profile;
    profile.taps = {0.0f, 1.0f, 0.0f};
    profile.sampleRate = 48000.0;
    profile.measuredDate = QDateTime(QDate(2025, 3, 10), QTime(9, 0), QTimeZone::utc());
    profile.correctionCurve = {{80.0f, 0.0f}, {1000.0f, gainAt1k}, {16000.0f, -2.0f}};
    return profile;
}

class SettingsAudioTabTest : public SettingsFixture {
protected:
    SettingsAudioTabTest() { open(); }

    QString label(const char* name) const { return child<SymbolLabel>(name)->text(); }
    QString text(const char* name) const { return child<WrappedText>(name)->text(); }
    double storedOffset() const { return platform::Settings::valueIn(preferences, keys::calibrationOffset); }
};

// ---- devices ----

struct ChannelCase {
    const char* microphone;
    bool pickerShown;
    int channels;
};

void PrintTo(const ChannelCase& channel, std::ostream* os) {
    *os << channel.microphone;
}

class ChannelPickerTest : public SettingsAudioTabTest, public ::testing::WithParamInterface<ChannelCase> {};

TEST_P(ChannelPickerTest, ShowsOnlyForADeviceWithSeveralChannels) {
    choose("microphonePicker", QLatin1String(GetParam().microphone));
    EXPECT_EQ(shown("channelRow"), GetParam().pickerShown);
    EXPECT_EQ(entries("channelPicker").size(), GetParam().channels);
}

INSTANTIATE_TEST_SUITE_P(Devices, ChannelPickerTest,
                         ::testing::Values(ChannelCase{"System Default", false, 1},
                                           ChannelCase{"USB mic", false, 1},
                                           ChannelCase{"Studio microphone", true, 2},
                                           ChannelCase{"Desk array", true, 4}),
                         kavro::testing::PrintedName());

TEST_F(SettingsAudioTabTest, AnotherMicrophoneStartsAtItsFirstChannelAndCaptureMovesThere) {
    EXPECT_EQ(entries("microphonePicker"),
              (QStringList{"System Default", "Studio microphone", "USB mic", "Desk array"}));
    choose("microphonePicker", QStringLiteral("Desk array"));
    choose("channelPicker", QStringLiteral("Channel 4"));
    startSession();
    ASSERT_TRUE(
        testing::waitUntil([&] { return backend.stream() && backend.stream()->deviceChannel() == 3; }));
    EXPECT_EQ(backend.stream()->deviceUid(), QStringLiteral("desk"));

    const int opened = backend.openCount();
    choose("microphonePicker", QStringLiteral("Studio microphone"));
    EXPECT_EQ(state->deviceManager().selectedChannelIndex(), 0);
    EXPECT_EQ(platform::Settings::valueIn(preferences, keys::selectedDeviceUID), QStringLiteral("studio"));
    EXPECT_EQ(child<QComboBox>("channelPicker")->currentText(), QStringLiteral("Channel 1"));
    // Capture restarts on the new device after the switch delay.
    ASSERT_TRUE(testing::waitUntil([&] { return backend.openCount() > opened && backend.stream(); }));
    EXPECT_EQ(backend.stream()->deviceUid(), QStringLiteral("studio"));
    EXPECT_EQ(backend.stream()->deviceChannel(), 0);
    EXPECT_TRUE(state->audioService().isRunning());
}

TEST_F(SettingsAudioTabTest, DeviceListsFollowTheDevicesWhileOpen) {
    choose("microphonePicker", QStringLiteral("USB mic"));
    choose("outputPicker", QStringLiteral("Headphones"));

    backend.inputs.append(device(QStringLiteral("new"), QStringLiteral("New mic")));
    backend.inputs.removeAt(1);
    backend.outputs.removeAt(1);
    backend.notifyDevicesChanged();
    refresh();
    // A chosen device that went away keeps an entry of its own rather than the picker
    // claiming another one is in use.
    EXPECT_EQ(entries("microphonePicker"),
              (QStringList{"System Default", "Studio microphone", "Desk array", "New mic", "usb"}));
    EXPECT_EQ(child<QComboBox>("microphonePicker")->currentText(), QStringLiteral("usb"));
    EXPECT_EQ(entries("outputPicker"), (QStringList{"System Default", "Monitors", "phones"}));
    EXPECT_EQ(child<QComboBox>("outputPicker")->currentText(), QStringLiteral("phones"));
}

TEST_F(SettingsAudioTabTest, TheMicLocationNoteIsKeptAtEveryKeystroke) {
    auto* field = child<QLineEdit>("micLocationField");
    field->setFocus();
    QTest::keyClick(field, Qt::Key_D);
    EXPECT_EQ(platform::Settings::valueIn(preferences, keys::micLocationNote), QStringLiteral("d"));
    QTest::keyClicks(field, QStringLiteral("esk, 1 m"));
    EXPECT_EQ(platform::Settings::valueIn(preferences, keys::micLocationNote), QStringLiteral("desk, 1 m"));

    // A new window starts with the note.
    content.reset();
    open();
    EXPECT_EQ(child<QLineEdit>("micLocationField")->text(), QStringLiteral("desk, 1 m"));
}

// ---- level calibration ----

using kavro::testing::PrintTo;

struct SliderCase {
    const char* name;
    std::vector<Qt::Key> keys;
    double offset;
};

class OffsetSliderTest : public SettingsAudioTabTest, public ::testing::WithParamInterface<SliderCase> {};

TEST_P(OffsetSliderTest, MovesInTenthDecibelStepsWithinSixtyToOneHundredTwenty) {
    auto* slider = child<QSlider>("offsetSlider");
    slider->setFocus();
    for (const Qt::Key key : GetParam().keys) {
        QTest::keyClick(slider, key);
    }
    refresh();
    EXPECT_EQ(state->calibrationOffset(), GetParam().offset);
    EXPECT_EQ(storedOffset(), GetParam().offset);
    EXPECT_EQ(label("offsetValue"), models::fixedText(GetParam().offset, 1) + QStringLiteral(" dB"));
    EXPECT_EQ(child<QDoubleSpinBox>("offsetField")->value(), GetParam().offset);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OffsetSliderTest,
    ::testing::Values(SliderCase{"up", {Qt::Key_Up}, 94.1}, SliderCase{"down", {Qt::Key_Down}, 93.9},
                      SliderCase{"pageUp", {Qt::Key_PageUp}, 94.5},
                      SliderCase{"bottom", {Qt::Key_Home, Qt::Key_Down}, 60.0},
                      SliderCase{"top", {Qt::Key_End, Qt::Key_Up, Qt::Key_PageUp}, 120.0}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// A value beyond the range is not taken.
TEST_F(SettingsAudioTabTest, ATypedOffsetIsKeptToTheTenthWithinTheRange) {
    auto* field = child<QDoubleSpinBox>("offsetField");
    for (const auto& [typed, kept] : {std::pair{"113.74", 113.7}, std::pair{"150", 113.7}}) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QString::fromLatin1(typed));
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(state->calibrationOffset(), kept) << typed;
        EXPECT_EQ(storedOffset(), kept) << typed;
    }
}

TEST_F(SettingsAudioTabTest, AnOffsetOutsideTheSliderIsShownButNotRewritten) {
    // Stored by an earlier version or a profile: the slider sits at its end, the value
    // stays until the user moves it.
    state->setCalibrationOffset(137.0);
    refresh();
    EXPECT_EQ(child<QSlider>("offsetSlider")->value(), child<QSlider>("offsetSlider")->maximum());
    EXPECT_EQ(label("offsetValue"), QStringLiteral("137.0 dB"));
    EXPECT_EQ(state->calibrationOffset(), 137.0);
}

TEST_F(SettingsAudioTabTest, ResetToDefaultGivesTheDefaultOffset) {
    const double standard = platform::Settings::defaultOf(keys::calibrationOffset);
    state->setCalibrationOffset(101.5);
    refresh();
    click("resetOffsetButton");
    EXPECT_EQ(state->calibrationOffset(), standard);
    EXPECT_EQ(storedOffset(), standard);
    EXPECT_EQ(label("offsetValue"), models::fixedText(standard, 1) + QStringLiteral(" dB"));
}

TEST_F(SettingsAudioTabTest, LiveReadingFollowsCapture) {
    EXPECT_EQ(label("liveReading"), QStringLiteral("Play noise or start a session"));
    startSession();
    refresh();
    EXPECT_EQ(label("liveReading"), QStringLiteral("—")) << "running, nothing heard yet";
    play(1000.0, 0.5);
    refresh();
    EXPECT_EQ(label("liveReading"),
              models::fixedText(state->audioService().currentSPL(), 1) + QStringLiteral(" dBA"));
    state->endSession();
    refresh();
    EXPECT_EQ(label("liveReading"), QStringLiteral("Play noise or start a session"));
}

struct TargetCase {
    const char* name;
    const char* output;
    const char* microphone;
    const char* playsOn; // empty: the system default output
};

class PinkNoiseTargetTest : public SettingsAudioTabTest, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(PinkNoiseTargetTest, PlaysOnTheOutputElseTheInputDeviceElseTheDefault) {
    choose("outputPicker", QLatin1String(GetParam().output));
    choose("microphonePicker", QLatin1String(GetParam().microphone));
    click("pinkNoiseButton");
    ASSERT_TRUE(state->pinkNoisePlayer().isPlaying());
    ASSERT_NE(backend.playbackStream(), nullptr);
    EXPECT_EQ(backend.playbackStream()->deviceUid(), QLatin1String(GetParam().playsOn));
    EXPECT_EQ(child<QAbstractButton>("pinkNoiseButton")->text(), QStringLiteral("Stop Pink Noise"));
    EXPECT_EQ(text("pinkNoiseCaption"), QStringLiteral("Adjust offset until reading stabilises"));
    EXPECT_TRUE(state->audioService().isRunning()) << "the noise runs capture";
    EXPECT_EQ(label("liveReading"), QStringLiteral("—"));

    click("pinkNoiseButton");
    EXPECT_FALSE(state->pinkNoisePlayer().isPlaying());
    EXPECT_EQ(child<QAbstractButton>("pinkNoiseButton")->text(), QStringLiteral("Play Pink Noise"));
    EXPECT_FALSE(shown("pinkNoiseCaption"));
}

INSTANTIATE_TEST_SUITE_P(
    Targets, PinkNoiseTargetTest,
    ::testing::Values(TargetCase{"output", "Headphones", "Studio microphone", "phones"},
                      TargetCase{"input", "System Default", "Studio microphone", "studio"},
                      TargetCase{"systemDefault", "System Default", "System Default", ""}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// ---- the response measurement ----

struct MeasurementCase {
    const char* name;
    MicCalibrationState state;
    bool spinner;
    bool progress;
    bool measureButton;
    bool cancel;
    bool dismiss;
    QString status;
};

class MeasurementRowTest : public SettingsAudioTabTest,
                           public ::testing::WithParamInterface<MeasurementCase> {};

TEST_P(MeasurementRowTest, ShowsTheStateAndKeepsThePinkNoiseButtonWhileItRuns) {
    const MeasurementCase& expected = GetParam();
    state->micResponseService().setState(expected.state);
    refresh();
    EXPECT_EQ(shown("measurementSpinner"), expected.spinner);
    EXPECT_EQ(shown("measurementProgress"), expected.progress);
    EXPECT_EQ(shown("measureButton"), expected.measureButton);
    EXPECT_EQ(shown("cancelMeasurementButton"), expected.cancel);
    EXPECT_EQ(shown("dismissMeasurementButton"), expected.dismiss);
    EXPECT_EQ(shown("measurementStatus"), !expected.status.isEmpty());
    if (!expected.status.isEmpty()) {
        EXPECT_EQ(text("measurementStatus"), expected.status);
    }
    if (expected.progress) {
        EXPECT_EQ(child<QProgressBar>("measurementProgress")->value(), 300);
    }
    // A finished measurement's symbol tells a screen reader how it ended.
    if (expected.dismiss) {
        EXPECT_EQ(child<QWidget>("measurementSymbol")->accessibleName(),
                  expected.state.kind() == MicCalibrationState::Kind::Failed ? "Failed" : "Done");
    }

    // The noise belongs to the measurement while it plays it, and the button says so.
    const bool running = expected.spinner || expected.progress;
    EXPECT_EQ(child<QAbstractButton>("pinkNoiseButton")->isEnabled(), !running);
    EXPECT_EQ(shown("pinkNoiseCaption"), running);
    if (running) {
        EXPECT_EQ(text("pinkNoiseCaption"), QStringLiteral("Pink noise in use by mic response measurement"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    States, MeasurementRowTest,
    ::testing::Values(
        MeasurementCase{"idle", MicCalibrationState::idle(), false, false, true, false, false, {}},
        MeasurementCase{"settling", MicCalibrationState::settling(), true, false, false, true, false,
                        QStringLiteral("Playing pink noise — letting room settle…")},
        MeasurementCase{"measuring", MicCalibrationState::measuring(0.3), false, true, false, true, false,
                        QStringLiteral("Capturing mic response…")},
        MeasurementCase{"computing", MicCalibrationState::computing(), true, false, false, false, false,
                        QStringLiteral("Computing correction filter…")},
        MeasurementCase{"done", MicCalibrationState::done(), false, false, false, false, true,
                        QStringLiteral("Correction applied.")},
        MeasurementCase{"failed",
                        MicCalibrationState::failed(QStringLiteral("Could not start pink noise playback")),
                        false, false, false, false, true,
                        QStringLiteral("Measurement failed: Could not start pink noise playback")}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(SettingsAudioTabTest, WithoutMicrophonePermissionMeasuringIsDisabledAndSaysWhy) {
    content.reset();
    state.reset();
    backend.permission = platform::MicrophonePermission::Denied;
    restartState();
    open();
    EXPECT_FALSE(child<QAbstractButton>("measureButton")->isEnabled());
    EXPECT_EQ(text("measureCaption"), QStringLiteral("Microphone permission is required."));
    EXPECT_TRUE(shown("permissionRow"));
}

TEST_F(SettingsAudioTabTest, AMeasurementStartedFromTheWindowEndsWithAStoredCorrection) {
    std::vector<std::function<void()>> settling;
    auto& service = state->micResponseService();
    service.scheduleAfter = [&settling](std::chrono::milliseconds, std::function<void()> task) {
        settling.push_back(std::move(task));
    };
    service.runInBackground = [](std::function<void()> task) { task(); };
    // Noise already playing is moved to the measurement's output without stopping the
    // capture it runs.
    choose("outputPicker", QStringLiteral("Monitors"));
    click("pinkNoiseButton");
    click("measureButton");
    EXPECT_EQ(service.state(), MicCalibrationState::settling());
    EXPECT_EQ(backend.playbackStream()->deviceUid(), QStringLiteral("monitors"));

    ASSERT_EQ(settling.size(), 1u);
    settling.front()();
    refresh();
    ASSERT_EQ(service.state().kind(), MicCalibrationState::Kind::Measuring);
    play(1000.0, 0.2, 100);
    refresh();
    EXPECT_TRUE(shown("measurementProgress"));
    EXPECT_GT(child<QProgressBar>("measurementProgress")->value(), 400);
    play(1000.0, 0.2, 110);
    refresh();
    ASSERT_EQ(service.state(), MicCalibrationState::done());
    EXPECT_EQ(text("measurementStatus"), QStringLiteral("Correction applied."));
    EXPECT_EQ(label("correctionTitle"), QStringLiteral("Correction measured"));
    EXPECT_TRUE(shown("chartRow"));
    EXPECT_TRUE(child<QCheckBox>("correctionSwitch")->isChecked());
    EXPECT_TRUE(child<QAbstractButton>("pinkNoiseButton")->isEnabled());

    click("dismissMeasurementButton");
    EXPECT_EQ(service.state(), MicCalibrationState::idle());
    EXPECT_TRUE(shown("measureButton"));
}

TEST_F(SettingsAudioTabTest, TheCorrectionSwitchTurnsTheStoredCorrectionOnAndOff) {
    state->micFreqCorrection().save(correction(3.0f));
    state->micFreqCorrection().setIsEnabled(true);
    refresh();
    click("correctionSwitch");
    EXPECT_FALSE(state->micFreqCorrection().isEnabled());
    EXPECT_FALSE(platform::Settings::valueIn(preferences, keys::micFreqCorrectionEnabled));
    EXPECT_FALSE(child<ui::CorrectionCurveView>("correctionChart")->chart().isEnabled);
    click("correctionSwitch");
    EXPECT_TRUE(state->micFreqCorrection().isEnabled());
}

struct ClearCase {
    const char* name;
    MicCalibrationState before;
    MicCalibrationState after;
};

class ClearMeasurementTest : public SettingsAudioTabTest, public ::testing::WithParamInterface<ClearCase> {};

TEST_P(ClearMeasurementTest, ForgetsTheCorrectionAndAFinishedMeasurementWithIt) {
    state->micFreqCorrection().save(correction(3.0f));
    state->micFreqCorrection().setIsEnabled(true);
    state->micResponseService().setState(GetParam().before);
    refresh();
    ASSERT_TRUE(shown("chartRow"));
    click("clearMeasurementButton");
    EXPECT_FALSE(state->micFreqCorrection().profile());
    EXPECT_EQ(state->micResponseService().state(), GetParam().after);
    EXPECT_EQ(label("correctionTitle"), QStringLiteral("No measurement — flat response assumed"));
    EXPECT_FALSE(shown("chartRow"));
    EXPECT_FALSE(shown("clearRow"));
    EXPECT_FALSE(shown("correctionSwitch"));
}

INSTANTIATE_TEST_SUITE_P(
    States, ClearMeasurementTest,
    ::testing::Values(ClearCase{"done", MicCalibrationState::done(), MicCalibrationState::idle()},
                      ClearCase{"idle", MicCalibrationState::idle(), MicCalibrationState::idle()},
                      ClearCase{"failed", MicCalibrationState::failed(QStringLiteral("x")),
                                MicCalibrationState::failed(QStringLiteral("x"))}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

// ---- profiles ----

TEST_F(SettingsAudioTabTest, ASavedProfileRestoresTheOffsetAndTheCorrection) {
    EXPECT_FALSE(shown("savedProfilesSection")) << "no profiles, no section";
    choose("microphonePicker", QStringLiteral("Studio microphone"));
    state->setCalibrationOffset(101.5);
    const auto measured = correction(4.0f);
    state->micFreqCorrection().save(measured);
    state->micFreqCorrection().setIsEnabled(true);
    refresh();
    EXPECT_EQ(
        text("saveProfileCaption"),
        QStringLiteral("Stores current level offset (101.5 dB) + freq correction for Studio microphone."));

    auto* field = child<QLineEdit>("profileLabelField");
    QTest::keyClicks(field, QStringLiteral("Desk"));
    click("saveProfileButton");
    EXPECT_TRUE(field->text().isEmpty());
    ASSERT_TRUE(shown("savedProfilesSection"));
    EXPECT_EQ(child<WrappedText>("profileLabel")->text(), QStringLiteral("Desk"));

    state->setCalibrationOffset(90.0);
    state->micFreqCorrection().clear();
    refresh();
    EXPECT_EQ(text("saveProfileCaption"),
              QStringLiteral("Stores current level offset (90.0 dB) for Studio microphone."));
    click("applyProfileButton");
    EXPECT_EQ(state->calibrationOffset(), 101.5);
    EXPECT_EQ(storedOffset(), 101.5);
    EXPECT_EQ(state->micFreqCorrection().profile(), measured);
    EXPECT_TRUE(state->micFreqCorrection().isEnabled());
    EXPECT_EQ(label("offsetValue"), QStringLiteral("101.5 dB"));

    click("deleteProfileButton");
    EXPECT_TRUE(state->calibrationProfileStore().profiles().isEmpty());
    EXPECT_FALSE(shown("savedProfilesSection"));
}

// ---- calibration with a known level ----

TEST_F(SettingsAudioTabTest, TheLastCalibrationsAndTheirAgeLimitAreShown) {
    state->setCalibrationOffset(101.5);
    models::CalibrationRecord calibrated;
    calibrated.method = models::CalibrationRecord::Method::calibrator;
    calibrated.offset = 113.7;
    calibrated.setAt = clock.now();
    state->calibration().log().record(calibrated);
    auto* section = content->findChild<ui::LevelCalibrationSection*>();
    ASSERT_NE(section, nullptr);
    section->refresh();
    auto* history = child<QListWidget>("calibrationHistory");
    ASSERT_EQ(history->count(), 2);
    EXPECT_TRUE(history->item(0)->text().startsWith("113.7 dB, sound calibrator"))
        << history->item(0)->text().toStdString();
    EXPECT_TRUE(history->item(1)->text().startsWith("101.5 dB, by hand"));

    auto* maxAge = child<QSpinBox>("calibrationMaxAge");
    EXPECT_EQ(maxAge->value(), keys::calibrationMaxAgeDays.defaultValue);
    maxAge->setValue(30);
    EXPECT_EQ(platform::Settings::valueIn(preferences, keys::calibrationMaxAgeDays), 30);
}

} // namespace
} // namespace kavro
