// SPDX-License-Identifier: GPL-3.0-or-later
// Setting the level offset on real devices: kavro-cli calibrate-level hears a tone or
// Kavro's pink noise through a private PulseAudio null sink and the source on its
// monitor, and stores the offset and its record. Needs the PulseAudio server of
// scripts/with-test-servers. The refusals and their words are tested over synthetic
// signals (CalibratorToneTest, LevelCalibrationServiceTest).
#include "cli/CalibrateLevelCommand.h"
#include "dsp/CalibratorTone.h"
#include "dsp/LevelMeter.h"
#include "dsp/PinkNoiseGenerator.h"
#include "integration/PulseAudioFixture.h"
#include "models/CalibrationRecord.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/Settings.h"
#include "support/CommandRun.h"

#include <cmath>

namespace {

using kavro::models::CalibrationRecord;
using kavro::testing::Tone;
using kavro::testsupport::CommandRun;
namespace keys = kavro::platform::keys;

class LevelCalibrationLoopTest : public kavro::testing::PulseAudioFixture {
protected:
    CommandRun calibrateLevel(const QStringList& args) {
        return kavro::testsupport::runCommand(kavro::cli::runCalibrateLevel, args, &preferences,
                                              backend.get());
    }

    double storedOffset() const {
        return kavro::platform::Settings::valueIn(preferences, keys::calibrationOffset);
    }

    kavro::platform::MemoryPreferencesStore preferences;
};

// A sine of `rmsDbfs` RMS on both channels.
Tone sine(double frequency, double rmsDbfs) {
    const double amplitude = std::sqrt(2.0) * std::pow(10.0, rmsDbfs / 20.0);
    return Tone{frequency, amplitude, amplitude};
}

TEST_F(LevelCalibrationLoopTest, ACalibratorTonePlacesTheOffsetToATenthAndAnotherToneIsRefused) {
    const auto loop = loadLoopback("calibrator", 48000);
    play(loop.sink, 48000, sine(1000, -20));
    const CommandRun calibrated = calibrateLevel({"--calibrator", "94", "--input", loop.source});
    ASSERT_EQ(calibrated.exitCode, 0) << calibrated.err.toStdString();
    EXPECT_NEAR(storedOffset(), 114.0, 0.1) << calibrated.out.toStdString();
    const auto record =
        CalibrationRecord::decode(kavro::platform::Settings::valueIn(preferences, keys::calibrationRecord));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->method, CalibrationRecord::Method::calibrator);
    EXPECT_EQ(record->deviceUID, loop.source);
    EXPECT_EQ(record->sampleRate, 48000);

    stopPlaying();
    play(loop.sink, 48000, sine(1100, -20));
    const CommandRun refused = calibrateLevel({"--calibrator", "94", "--input", loop.source});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains("1100 Hz")) << refused.err.toStdString();
    EXPECT_NEAR(storedOffset(), 114.0, 0.1) << "a refusal changes nothing";
}

// The A-weighted level of the pink noise, dB re full scale, as the meter hears it.
double pinkNoiseLevelDbfs(double sampleRate) {
    kavro::dsp::PinkNoiseGenerator generator;
    kavro::dsp::LevelMeter meter(sampleRate);
    std::vector<float> buffer(1024);
    double sumSquares = 0;
    std::size_t frames = 0;
    while (frames < static_cast<std::size_t>(10 * sampleRate)) {
        for (float& sample : buffer) {
            sample = generator.next();
        }
        const auto reading = meter.process(buffer, 0.0);
        sumSquares += reading.sumSquaresA;
        frames += reading.frames;
    }
    return kavro::dsp::calibrator::meanSquareDbfs(sumSquares, frames);
}

TEST_F(LevelCalibrationLoopTest, PinkNoiseAgainstAMeterReadingPlacesTheOffsetWithinAFifthOfADecibel) {
    constexpr double kRate = 44100;
    const auto loop = loadLoopback("reference", static_cast<int>(kRate));
    const CommandRun calibrated = calibrateLevel(
        {"--reference", "82.3", "--weighting", "A", "--output", loop.sink, "--input", loop.source});
    ASSERT_EQ(calibrated.exitCode, 0) << calibrated.err.toStdString();
    EXPECT_NEAR(storedOffset(), 82.3 - pinkNoiseLevelDbfs(kRate), 0.2) << calibrated.out.toStdString();
}

} // namespace
