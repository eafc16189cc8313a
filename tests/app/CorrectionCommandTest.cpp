// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CorrectionCommand.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/SettingKey.h"
#include "platform/qt/SettingsPreferencesStore.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "services/MicFrequencyCorrection.h"
#include "support/CommandRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace keys = kavro::platform::keys;

using kavro::platform::MemoryPreferencesStore;
using kavro::services::MicFrequencyCorrection;

namespace {

const QString kCalibrationFile = QStringLiteral(KAVRO_SOURCE_DIR "/tests/app/data/mic-calibration.txt");

class CorrectionCommandTest : public ::testing::Test {
protected:
    int run(const QStringList& args, kavro::platform::PreferencesStore* store = nullptr) {
        auto result = kavro::testsupport::runCommand(kavro::cli::runCorrection, args,
                                                     store ? store : &preferences, &backend);
        outText = result.out;
        errText = result.err;
        return result.exitCode;
    }

    // The file's deviation at a frequency, interpolated on a log axis like the import.
    static double fileDeviationAt(double frequency) {
        static const std::vector<std::pair<double, double>> rows{
            {10, -1.8},   {20, -0.55},  {31.5, -0.25}, {50, -0.1},   {80, -0.05}, {125, -0.02},
            {200, 0},     {315, 0},     {500, 0.02},   {800, 0},     {1000, 0},   {1600, 0.05},
            {2500, 0.2},  {4000, 0.55}, {5000, 0.9},   {6300, 1.45}, {8000, 2.3}, {10000, 3.1},
            {12500, 3.6}, {16000, 2.4}, {20000, -1.5}};
        for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
            if (frequency <= rows[i + 1].first) {
                const double t =
                    std::log(frequency / rows[i].first) / std::log(rows[i + 1].first / rows[i].first);
                return rows[i].second + t * (rows[i + 1].second - rows[i].second);
            }
        }
        return rows.back().second;
    }

    QString writeFile(const QString& name, const QByteArray& contents) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }

    QTemporaryDir dir;
    MemoryPreferencesStore preferences;
    kavro::platform::testing::ScriptedAudioBackend backend;
    QString outText;
    QString errText;
};

} // namespace

TEST_F(CorrectionCommandTest, ImportedFileBecomesItsInverse) {
    ASSERT_EQ(run({"import", kCalibrationFile, "--rate", "48000"}), 0) << errText.toStdString();
    EXPECT_TRUE(errText.contains("-1.37 dB")) << errText.toStdString();
    MicFrequencyCorrection correction(preferences);
    ASSERT_TRUE(correction.profile());
    EXPECT_TRUE(correction.isEnabled());
    EXPECT_EQ(correction.profile()->sampleRate, 48000.0);
    ASSERT_EQ(correction.profile()->correctionCurve.size(), 64);
    for (const auto& point : correction.profile()->correctionCurve) {
        // Each point carries the gain of its FFT bin, up to half a bin below it.
        EXPECT_NEAR(point.gainDB, -fileDeviationAt(point.frequency), 0.5) << point.frequency << " Hz";
    }
}

TEST_F(CorrectionCommandTest, ImportTakesTheRateOfTheSelectedInput) {
    backend.inputs = {{"usb", "USB", "", 1, 44100.0, {}, false},
                      {"default", "Built-in", "", 2, 48000.0, {}, true}};
    ASSERT_EQ(run({"import", kCalibrationFile}), 0) << errText.toStdString();
    EXPECT_EQ(MicFrequencyCorrection(preferences).profile()->sampleRate, 48000.0);
    preferences.setString("selectedDeviceUID", "usb");
    ASSERT_EQ(run({"import", kCalibrationFile}), 0) << errText.toStdString();
    EXPECT_EQ(MicFrequencyCorrection(preferences).profile()->sampleRate, 44100.0);
}

TEST_F(CorrectionCommandTest, MalformedFileIsRefusedWithItsLineAndNothingIsStored) {
    const QString path = writeFile("broken.txt", "header\n20 -0.5\n1000 0.0\n500 0.1\n");
    EXPECT_EQ(run({"import", path, "--rate", "48000"}), 1);
    EXPECT_TRUE(errText.contains(path + ":4:")) << errText.toStdString();
    EXPECT_EQ(run({"import", dir.filePath("missing.txt"), "--rate", "48000"}), 1);
    EXPECT_EQ(run({"import", kCalibrationFile, "--rate", "0"}), 2);
    EXPECT_EQ(run({"import", kCalibrationFile}), 1); // no input device to take the rate from
    EXPECT_FALSE(preferences.contains(keys::micCorrectionProfile.name));
    EXPECT_FALSE(preferences.contains(keys::micFreqCorrectionEnabled.name));
}

TEST_F(CorrectionCommandTest, ShowSwitchAndClear) {
    EXPECT_EQ(run({"show"}), 0);
    EXPECT_EQ(outText, "No microphone correction is stored.\n");
    ASSERT_EQ(run({"import", kCalibrationFile, "--rate", "44100"}), 0);

    EXPECT_EQ(run({"disable"}), 0);
    EXPECT_FALSE(MicFrequencyCorrection(preferences).isEnabled());
    EXPECT_EQ(run({"show"}), 0);
    const auto shown = QJsonDocument::fromJson(outText.toUtf8());
    ASSERT_TRUE(shown.isObject());
    EXPECT_EQ(shown.object().value("sampleRate").toDouble(), 44100.0);
    EXPECT_EQ(shown.object().value("taps").toArray().size(), 128);
    EXPECT_EQ(errText, "The correction is off.\n");
    EXPECT_EQ(run({"enable"}), 0);
    EXPECT_TRUE(MicFrequencyCorrection(preferences).isEnabled());

    EXPECT_EQ(run({"clear"}), 0);
    EXPECT_FALSE(preferences.contains(keys::micCorrectionProfile.name));
    EXPECT_FALSE(preferences.contains(keys::micFreqCorrectionEnabled.name));

    preferences.setData(keys::micCorrectionProfile.name, "garbage");
    EXPECT_EQ(run({"show"}), 1);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({"show", "extra"}), 2);
}

// Preferences that cannot be written (here the configuration folder is a file) make
// every changing action fail with the reason, never report a change that is not kept.
TEST_F(CorrectionCommandTest, ChangesThatDoNotReachTheDiskAreFailures) {
    const QString blocked = writeFile("config", "a file where the folder should be");
    kavro::platform::SettingsPreferencesStore unwritable(blocked + "/Kavro/Kavro.conf");
    const QStringList actions[] = {{"import", kCalibrationFile, "--rate", "48000"}, {"enable"}, {"disable"}};
    for (const auto& action : actions) {
        EXPECT_EQ(run(action, &unwritable), 1) << action.join(' ').toStdString();
        EXPECT_TRUE(errText.contains("not saved")) << errText.toStdString();
        EXPECT_TRUE(errText.contains(blocked)) << errText.toStdString();
        EXPECT_FALSE(errText.contains("The correction is")) << errText.toStdString();
    }
    // The same actions on preferences that can be written succeed.
    kavro::platform::SettingsPreferencesStore writable(dir.filePath("Kavro.conf"));
    for (const auto& action : actions) {
        EXPECT_EQ(run(action, &writable), 0) << errText.toStdString();
    }
    EXPECT_EQ(run({"clear"}, &writable), 0);
}

TEST_F(CorrectionCommandTest, ShowSaysWhyStoredTapsAreRefused) {
    ASSERT_EQ(run({"import", kCalibrationFile, "--rate", "48000"}), 0);
    QJsonObject stored = QJsonDocument::fromJson(*preferences.data(keys::micCorrectionProfile.name)).object();
    stored.insert("taps", QJsonArray{1e30});
    preferences.setData(keys::micCorrectionProfile.name, QJsonDocument(stored).toJson());
    EXPECT_EQ(run({"show"}), 1);
    EXPECT_TRUE(outText.startsWith("The stored microphone correction cannot be read: "))
        << outText.toStdString();
    EXPECT_TRUE(outText.contains(" dB")) << outText.toStdString();
}
