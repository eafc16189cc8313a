// SPDX-License-Identifier: GPL-3.0-or-later
// The source choice and the output-profile editor of the Audio tab over the application
// state with scripted devices, as a user meets them: a typed reference, the data-sheet
// calculator with an impossible figure, the way back to the estimate, and a speaker
// measured with its pink noise through the calibrated microphone.
#include "models/NumberText.h"
#include "services/OutputProfileMeasurement.h"
#include "services/OutputProfileStore.h"
#include "ui/SettingsFixture.h"
#include "ui/widgets/SymbolLabel.h"
#include "ui/widgets/WrappedText.h"

#include <QLineEdit>

namespace kavro {
namespace {

using models::OutputProfile;
using testing::SettingsFixture;
namespace keys = platform::keys;

class SettingsOutputProfileTest : public SettingsFixture {
protected:
    SettingsOutputProfileTest() { open(); }

    QString shownReference() const { return child<ui::SymbolLabel>("outputReference")->text(); }
    QString text(const char* name) const { return child<ui::WrappedText>(name)->text(); }
    void type(const char* field, const QString& value) { child<QLineEdit>(field)->setText(value); }
    // What the preferences hold for the output, as the next launch reads it.
    std::optional<OutputProfile> stored(const QString& uid) const {
        for (const auto& profile :
             OutputProfile::decodeList(platform::Settings::valueIn(preferences, keys::outputProfiles))) {
            if (profile.key == uid + QLatin1Char('#')) {
                return profile;
            }
        }
        return std::nullopt;
    }
};

TEST_F(SettingsOutputProfileTest, TypedAndDataSheetReferencesAreStoredForTheChosenOutput) {
    const double estimate = services::OutputReference{}.fullScaleDbSpl;
    choose("profileOutputPicker", QStringLiteral("Headphones"));
    EXPECT_TRUE(shownReference().startsWith(models::fixedText(estimate, 1)));
    EXPECT_TRUE(text("outputBasis").startsWith(QLatin1String("Estimated")));

    type("typedReferenceField", QStringLiteral("104.5"));
    click("applyReferenceButton");
    ASSERT_TRUE(stored(QStringLiteral("phones")));
    EXPECT_EQ(stored(QStringLiteral("phones"))->fullScaleDbSpl, 104.5);
    EXPECT_EQ(stored(QStringLiteral("phones"))->basis, OutputProfile::Basis::typed);
    EXPECT_FALSE(stored(QStringLiteral("monitors")));

    // An impossible figure says why and keeps what was stored.
    type("sensitivityField", QStringLiteral("102"));
    type("impedanceField", QStringLiteral("-32"));
    type("maximumOutputField", QStringLiteral("4"));
    click("applyDataSheetButton");
    EXPECT_TRUE(text("outputProfileResult").contains(QLatin1String("impedance")));
    EXPECT_EQ(stored(QStringLiteral("phones"))->fullScaleDbSpl, 104.5);

    type("impedanceField", QStringLiteral("32"));
    click("applyDataSheetButton");
    EXPECT_EQ(stored(QStringLiteral("phones"))->basis, OutputProfile::Basis::dataSheet);
    EXPECT_NEAR(stored(QStringLiteral("phones"))->fullScaleDbSpl, 121.74, 0.01);
    EXPECT_EQ(shownReference(),
              models::fixedText(stored(QStringLiteral("phones"))->fullScaleDbSpl, 1) + " dB SPL");

    click("resetOutputProfileButton");
    EXPECT_FALSE(stored(QStringLiteral("phones")));
    EXPECT_TRUE(text("outputBasis").startsWith(QLatin1String("Estimated")));

    choose("measureFromPicker", QStringLiteral("Output"));
    EXPECT_EQ(platform::Settings::valueIn(preferences, keys::measureFrom), QStringLiteral("output"));
    EXPECT_EQ(state->measureFrom(), models::MeasureFrom::output);
}

// The whole road on real parts: the player's own noise, played by a speaker 6 dB below
// full scale, reaches the microphone, whose calibration offset makes it sound level.
TEST_F(SettingsOutputProfileTest, AMeasuredSpeakerProfileIsWhatAFullScaleSignalReachesAtTheMicrophone) {
    backend.captureFormat = {services::PinkNoisePlayer::kSampleRate, 1};
    std::vector<std::function<void()>> steps;
    state->outputProfileMeasurement().scheduleAfter =
        [&steps](std::chrono::milliseconds, std::function<void()> task) { steps.push_back(std::move(task)); };
    constexpr double kSpeakerGain = 0.5;
    const auto playThroughSpeaker = [this](std::size_t frames) {
        const std::vector<float> stereo = backend.playbackStream()->render(frames);
        std::vector<float> heard;
        for (std::size_t index = 0; index < stereo.size(); index += 2) {
            heard.push_back(static_cast<float>(stereo[index] * kSpeakerGain));
        }
        backend.stream()->deliver({heard});
        settle();
    };

    choose("profileOutputPicker", QStringLiteral("Monitors"));
    click("measureOutputButton");
    ASSERT_TRUE(state->pinkNoisePlayer().isPlaying());
    EXPECT_EQ(backend.playbackStream()->deviceUid(), QStringLiteral("monitors"));
    ASSERT_NE(backend.stream(), nullptr) << "the noise starts capture";
    for (int settling = 0; settling < 60; ++settling) {
        playThroughSpeaker(services::AudioMeasurementService::kFramesPerBuffer);
    }
    while (!steps.empty()) {
        auto step = std::move(steps.front());
        steps.erase(steps.begin());
        step();
        for (int buffer = 0; buffer < 4 && state->pinkNoisePlayer().isPlaying(); ++buffer) {
            playThroughSpeaker(services::AudioMeasurementService::kFramesPerBuffer);
        }
    }
    refresh();

    ASSERT_EQ(state->outputProfileMeasurement().phase(), services::OutputProfileMeasurement::Phase::done)
        << state->outputProfileMeasurement().message().toStdString();
    EXPECT_FALSE(state->pinkNoisePlayer().isPlaying());
    const auto profile = stored(QStringLiteral("monitors"));
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->basis, OutputProfile::Basis::measured);
    const double expected = state->calibrationOffset() + 20.0 * std::log10(kSpeakerGain);
    EXPECT_NEAR(profile->fullScaleDbSpl, expected, 0.1);
    EXPECT_TRUE(shown("dismissOutputMeasurementButton"));
}

TEST_F(SettingsOutputProfileTest, WithoutAMicrophoneLevelTheMeasurementFailsAndStoresNothing) {
    std::vector<std::function<void()>> steps;
    state->outputProfileMeasurement().scheduleAfter =
        [&steps](std::chrono::milliseconds, std::function<void()> task) { steps.push_back(std::move(task)); };
    click("measureOutputButton");
    ASSERT_EQ(steps.size(), 1u);
    steps.front()();
    refresh();
    EXPECT_EQ(state->outputProfileMeasurement().phase(), services::OutputProfileMeasurement::Phase::failed);
    EXPECT_FALSE(state->pinkNoisePlayer().isPlaying());
    EXPECT_TRUE(text("outputMeasurementStatus").contains(QLatin1String("microphone")));
    EXPECT_TRUE(state->outputProfileStore().profiles().isEmpty());
    click("dismissOutputMeasurementButton");
    EXPECT_TRUE(shown("measureOutputButton"));
}

} // namespace
} // namespace kavro
