// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The whole application state over fakes (scripted audio devices and workspace, memory
// preferences, manual clock), with helpers that play a tone and run the 0.1 s feed as
// its timer would. Shared by the tests of the application state, the panel and the
// settings window.
#include "core/AppState.h"
#include "models/CalibrationRecord.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/Settings.h"
#include "platform/testing/FakeLoginItemService.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/MemoryFileStore.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "services/AudioMeasurementService.h"
#include "services/DoseCalculator.h"
#include "services/SessionManager.h"
#include "support/TestSignals.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace kavro::testing {

class AppStateFixture : public ::testing::Test {
protected:
    static constexpr double kSampleRate = 48000.0;

    // The default input is calibrated: the tests see the "may not fit" notices only
    // where they change the input.
    AppStateFixture() {
        models::CalibrationRecord calibrated;
        calibrated.method = models::CalibrationRecord::Method::calibrator;
        calibrated.offset = platform::keys::calibrationOffset.defaultValue;
        calibrated.setAt = clock.now();
        calibrated.sampleRate = kSampleRate;
        platform::Settings(preferences).setValue(platform::keys::calibrationRecord, calibrated.encode());
    }
    ~AppStateFixture() override { state.reset(); }

    static platform::AudioDeviceDescription device(const QString& uid, const QString& name,
                                                   int channels = 1) {
        platform::AudioDeviceDescription description;
        description.uid = uid;
        description.name = name;
        description.channelCount = channels;
        description.sampleRate = kSampleRate;
        return description;
    }

    static inline const QString kDataFolder = QStringLiteral("/home/ada/.local/share/Kavro");

    // An application state over the fakes and the given preferences, as a launch makes it.
    std::unique_ptr<core::AppState> makeState(platform::PreferencesStore& store) {
        return std::make_unique<core::AppState>(core::AppState::Platform{
            backend, store, clock, notifications, workspace, loginItem, files, kDataFolder});
    }

    // Builds `state` afresh over the devices of `backend` and the memory preferences, as
    // the program does when it starts: it reads the history file and today's stored dose
    // again.
    void restartState() {
        state.reset();
        state = makeState(preferences);
        settle();
    }

    // Lets every posted change arrive, and whatever those changes post in turn.
    static void settle() {
        for (int round = 0; round < 4; ++round) {
            QCoreApplication::sendPostedEvents();
        }
    }

    // Plays a sine into the running capture until the smoothed levels have settled; it
    // goes on playing while the test listens. A full-scale 1 kHz tone reads about
    // 91 dBA with the default calibration.
    void play(double frequency, double amplitude, int buffers = 30) {
        ASSERT_NE(backend.stream(), nullptr) << "capture is not running";
        tone = sineBuffer(frequency, amplitude, kSampleRate,
                          services::AudioMeasurementService::kFramesPerBuffer);
        backend.stream()->deliver(std::vector<std::vector<float>>(static_cast<std::size_t>(buffers), tone));
        // What the feed's next tick would publish.
        state->audioService().collect();
        settle();
    }

    void startSession() {
        state->startSession(models::Session::kManualSessionName);
        settle();
    }

    // The feed's ticks over `seconds` of listening, `step` seconds apart as its timer
    // would make them, each after a buffer of the playing tone: a tick measures the audio
    // since the one before.
    void listen(double seconds, double step = 0.1) {
        const int ticks = static_cast<int>(std::lround(seconds / step));
        for (int i = 0; i < ticks; ++i) {
            if (!tone.empty() && state->audioService().isRunning() && backend.stream()) {
                backend.stream()->deliver({tone});
                QCoreApplication::sendPostedEvents();
            }
            clock.advance(step);
            // Capture that lost its input tries again as its timer would.
            state->audioService().watchTick();
            state->splFeedTick();
        }
        settle();
    }

    void setDose(double percent) {
        state->doseCalculator().overrideDose(percent);
        settle();
    }

    platform::testing::ScriptedAudioBackend backend;
    platform::MemoryPreferencesStore preferences;
    platform::testing::ManualClock clock{QDateTime(QDate(2025, 3, 14), QTime(14, 0), QTimeZone::utc())};
    platform::testing::RecordingNotificationCenter notifications;
    platform::testing::ScriptedWorkspace workspace;
    platform::testing::FakeLoginItemService loginItem;
    platform::testing::MemoryFileStore files;
    std::unique_ptr<core::AppState> state;
    std::vector<float> tone;
};

} // namespace kavro::testing
