// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AnalyzeCommand.h"
#include "dsp/DoseMath.h"
#include "support/CommandRun.h"
#include "support/SoundFiles.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <unistd.h>
#include <vector>

namespace {

using kavro::dsp::dose::doseFraction;
using kavro::testsupport::CommandRun;

constexpr double kRate = 48000.0;

// A stretch of a sine at a calibrated level (dB with the offset the run will use).
struct Tone {
    double seconds;
    double frequency;
    double levelDb; // RMS level; below -200 means silence
};

class AnalyzeCommandTest : public ::testing::Test {
protected:
    // Writes the tones one after another; offsetDb is the calibration the test will pass.
    QString writeFile(const QString& name, const std::vector<Tone>& tones, double offsetDb) {
        std::vector<float> samples;
        for (const Tone& tone : tones) {
            const double amplitude =
                tone.levelDb < -200 ? 0.0 : std::sqrt(2.0) * std::pow(10.0, (tone.levelDb - offsetDb) / 20.0);
            const auto frames = static_cast<std::size_t>(tone.seconds * kRate);
            for (std::size_t i = 0; i < frames; ++i) {
                samples.push_back(
                    static_cast<float>(amplitude * std::sin(2.0 * std::numbers::pi * tone.frequency *
                                                            static_cast<double>(i) / kRate)));
            }
        }
        const QString path = folder.filePath(name);
        EXPECT_TRUE(kavro::testsupport::writeWav(
            path, static_cast<int>(kRate), 1, static_cast<long>(samples.size()),
            [&](long frame, int) { return samples[static_cast<std::size_t>(frame)]; }));
        return path;
    }

    static CommandRun analyze(const QStringList& args) {
        return kavro::testsupport::runCommand(kavro::cli::runAnalyze, args);
    }

    QTemporaryDir folder;
};

// Every criterion from the same intervals as the dose: 90 s at 100 dBA is 1.25 % of the
// OSHA PEL (2 h allowed), an L_EX,8h of 100 + 10·log10(90 s / 8 h), and the NIOSH figure
// is the dose itself.
TEST_F(AnalyzeCommandTest, CriteriaComeFromTheSameIntervalsAsTheDose) {
    const QString path = writeFile("criteria.wav", {{90.0, 1000.0, 100.0}}, 120.0);
    const CommandRun run = analyze({path, "--offset", "120", "--json", "--criteria"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject report = run.json();
    const QJsonObject criteria = report["criteria"].toObject();
    const auto value = [&](const char* key) { return criteria[key].toObject()["value"].toDouble(); };
    EXPECT_EQ(value("nioshRel"), report["dosePercentage"].toDouble());
    EXPECT_NEAR(value("oshaPel"), 1.25, 0.01);
    EXPECT_NEAR(value("euDailyExposure"), 100.0 + 10.0 * std::log10(90.0 / 28800.0), 0.02);
    EXPECT_TRUE(criteria["whoWeekly"].toObject()["projected"].isNull()) << "a weekly dose has no 8-hour day";

    const CommandRun text = analyze({path, "--offset", "120", "--criteria"});
    EXPECT_TRUE(text.out.contains("OSHA hearing conservation")) << text.out.toStdString();
}

TEST_F(AnalyzeCommandTest, SteadyToneGivesTheDoseAndLevelsOfTheClosedForm) {
    const QString path = writeFile("steady.wav", {{90.0, 1000.0, 100.0}}, 120.0);
    const CommandRun run = analyze({path, "--offset", "120", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject report = run.json();

    // The report's keys are read by scripts: none may be renamed or go missing.
    EXPECT_EQ(
        report.keys(),
        QStringLiteral("calibrationOffset channel dose8hAtLAeq dosePercentage durationSeconds file l10 l50 "
                       "l90 laeq lceq leq10min leq1min leq30min maxPeakDBA peakCount135 peakCount137 "
                       "peakCount140 peakDBACount115 projectedDoseAtEndOfDay sampleRate todayPeakDBC")
            .split(' '));
    EXPECT_EQ(report["file"].toString(), path);
    EXPECT_EQ(report["sampleRate"].toDouble(), kRate);
    EXPECT_EQ(report["channel"].toInt(), 0);
    EXPECT_EQ(report["calibrationOffset"].toDouble(), 120.0);
    EXPECT_DOUBLE_EQ(report["durationSeconds"].toDouble(), 90.0);
    EXPECT_NEAR(report["laeq"].toDouble(), 100.0, 0.05);
    EXPECT_NEAR(report["lceq"].toDouble(), 100.0, 0.05);

    // 100 dB uses the allowance in 15 minutes. The first feed tick (0.1 s) only sets
    // the time, and the meter's smoothing needs a few buffers to settle.
    const double dose = report["dosePercentage"].toDouble();
    EXPECT_NEAR(dose, doseFraction(100.0, 89.9) * 100.0, 0.02);
    // At 100 dB the rest of the 8-hour day would use four allowances per hour.
    const double projected = dose + 4.0 * (8.0 - 8.0 * dose / 100.0) * 100.0;
    EXPECT_NEAR(report["projectedDoseAtEndOfDay"].toDouble(), projected, projected * 0.002);

    // Eight hours at 100 dB are 32 daily allowances.
    EXPECT_NEAR(report["dose8hAtLAeq"].toDouble(), 3200.0, 3200.0 * 0.012);

    // Sine peaks are 3 dB above the RMS level: far below every peak action value. The
    // weighting filters' response to the tone's abrupt start overshoots a little, and
    // that first buffer's peak is the day's highest.
    EXPECT_NEAR(report["todayPeakDBC"].toDouble(), 103.01, 0.35);
    EXPECT_NEAR(report["maxPeakDBA"].toDouble(), 103.01, 0.25);
    for (const char* key : {"peakCount135", "peakCount137", "peakCount140", "peakDBACount115"}) {
        EXPECT_EQ(report[key].toInt(), 0) << key;
    }

    EXPECT_NEAR(report["leq1min"].toDouble(), 100.0, 0.05);
    EXPECT_NEAR(report["l10"].toDouble(), 100.0, 0.05);
    EXPECT_NEAR(report["l90"].toDouble(), 100.0, 0.05);
    EXPECT_TRUE(report["leq10min"].isNull());
    EXPECT_TRUE(report["leq30min"].isNull());
}

TEST_F(AnalyzeCommandTest, QuietThenLoudCountsOnlyTheLoudMinute) {
    const QString path = writeFile("two-levels.wav", {{60.0, 1000.0, 70.0}, {60.0, 1000.0, 90.0}}, 100.0);
    const CommandRun run = analyze({path, "--offset", "100", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject report = run.json();

    EXPECT_NEAR(report["laeq"].toDouble(), 10.0 * std::log10((1e7 + 1e9) / 2.0), 0.05);
    EXPECT_NEAR(report["dosePercentage"].toDouble(), doseFraction(90.0, 60.0) * 100.0, 0.01);
    EXPECT_NEAR(report["leq1min"].toDouble(), 90.0, 0.05);
    EXPECT_NEAR(report["l10"].toDouble(), 90.0, 0.05);
    EXPECT_NEAR(report["l90"].toDouble(), 70.0, 0.05);
}

TEST_F(AnalyzeCommandTest, ImpulsiveBurstIsCountedOnEveryFeedTickItSpans) {
    // Half a second at a 138.5 dB peak between silences: counted at 137 and 135 but
    // not 140, about five times (once per 0.1 s tick), and as an A-weighted peak too.
    const double offset = 138.5 - 20.0 * std::log10(0.5);
    const QString path = writeFile(
        "burst.wav", {{1.05, 1000.0, -999}, {0.5, 1000.0, 138.5 - 3.0103}, {1.0, 1000.0, -999}}, offset);
    const CommandRun run = analyze({path, "--offset", QString::number(offset, 'g', 17), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject report = run.json();

    const int count = report["peakCount137"].toInt();
    EXPECT_GE(count, 4);
    EXPECT_LE(count, 6);
    EXPECT_EQ(report["peakCount135"].toInt(), count);
    EXPECT_EQ(report["peakCount140"].toInt(), 0);
    EXPECT_EQ(report["peakDBACount115"].toInt(), count);
    EXPECT_NEAR(report["todayPeakDBC"].toDouble(), 138.5, 0.3);
    EXPECT_NEAR(report["maxPeakDBA"].toDouble(), 138.5, 0.3);
    EXPECT_TRUE(report["leq1min"].isNull());
}

TEST_F(AnalyzeCommandTest, ConservativeModeDosesTheLowFrequencyEnergy) {
    // 63 Hz: about 26 dB of A-weighting, under 1 dB of C-weighting.
    const QString path = writeFile("bass.wav", {{30.0, 63.0, 95.0}}, 120.0);
    const CommandRun normal = analyze({path, "--offset", "120", "--json"});
    const CommandRun conservative = analyze({path, "--offset", "120", "--json", "--conservative"});
    ASSERT_EQ(conservative.exitCode, 0) << conservative.err.toStdString();
    EXPECT_LT(normal.json()["laeq"].toDouble(), 80.0);
    EXPECT_EQ(normal.json()["dosePercentage"].toDouble(), 0.0);
    const double lceq = conservative.json()["lceq"].toDouble();
    EXPECT_NEAR(conservative.json()["dosePercentage"].toDouble(), doseFraction(lceq, 29.9) * 100.0,
                doseFraction(lceq, 29.9) * 2.0);
}

TEST_F(AnalyzeCommandTest, TextReportAndPerSecondCsv) {
    const QString path = writeFile("short.wav", {{2.5, 1000.0, 85.0}}, 94.0);
    const QString csvPath = folder.filePath("history.csv");
    const CommandRun run = analyze({path, "--csv", csvPath});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("LAeq:                85.0 dBA")) << run.out.toStdString();
    // Eight hours at 85 dBA are the whole daily allowance.
    EXPECT_TRUE(run.out.contains(QRegularExpression("\\n8 hours at this LAeq: (99|100|101) %\\n")))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("at the end of an 8-hour day, if the final level went on"));
    EXPECT_TRUE(run.out.contains("Leq 1/10/30 min:     —  —  —")) << run.out.toStdString();
    EXPECT_TRUE(run.err.isEmpty());

    QFile csv(csvPath);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4); // header and the seconds 1, 2 and the last half
    EXPECT_EQ(lines[0], "time,laeq,lceq,dBA,dBC,peakDBA,peakDBC,dosePercentage");
    const QStringList second = lines[2].split(',');
    ASSERT_EQ(second.size(), 8);
    EXPECT_EQ(second[0], "2.000");
    EXPECT_NEAR(second[1].toDouble(), 85.0, 0.05);
    EXPECT_NEAR(second[3].toDouble(), 85.0, 0.05);
    EXPECT_TRUE(lines[3].startsWith("2.5"));
    EXPECT_NEAR(lines[3].split(',')[7].toDouble(), doseFraction(85.0, 2.4) * 100.0, 0.001);
}

// "--csv /dev/stdout" names the program's own output: the CSV goes down that pipe, and
// nothing is put in the pipe's place.
TEST_F(AnalyzeCommandTest, CsvOntoTheProgramsOwnPipe) {
    const QString path = writeFile("short.wav", {{1.5, 1000.0, 85.0}}, 94.0);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const CommandRun run = analyze({path, "--csv", QStringLiteral("/proc/self/fd/%1").arg(ends[1])});
    ::close(ends[1]);
    QFile pipe;
    ASSERT_TRUE(pipe.open(ends[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    const QStringList lines = QString::fromUtf8(pipe.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "time,laeq,lceq,dBA,dBC,peakDBA,peakDBC,dosePercentage");
}

TEST_F(AnalyzeCommandTest, ErrorsAreReportedWithTheirExitCodes) {
    const QString path = writeFile("tiny.wav", {{0.2, 1000.0, 80.0}}, 94.0);

    CommandRun run = analyze({folder.filePath("missing.wav")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.startsWith("kavro-cli: ")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());

    EXPECT_EQ(analyze({path, "--loud"}).exitCode, 2);
    EXPECT_EQ(analyze({}).exitCode, 2);
    EXPECT_EQ(analyze({path, "--offset", "x"}).exitCode, 2);
    EXPECT_EQ(analyze({path, "--channel", "1"}).exitCode, 1);
    EXPECT_EQ(analyze({path, "--csv"}).exitCode, 2);

    run = analyze({path, "--csv", folder.filePath("no/such/folder/out.csv")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("cannot write")) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());

    run = analyze({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("--conservative"));
}

} // namespace
