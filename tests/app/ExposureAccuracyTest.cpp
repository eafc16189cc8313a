// SPDX-License-Identifier: GPL-3.0-or-later
// The exposure figures against references computed offline from every sample: an
// impulse anywhere in the audio is counted and its peak kept, and the dose and the
// statistics of modulated noise match those of its 0.1 s energy blocks, at any sample
// rate, in `kavro-cli analyze` and in the application alike.
#include "cli/AnalyzeCommand.h"
#include "cli/ExposureAnalysis.h"
#include "core/AppState.h"
#include "dsp/AWeightingFilter.h"
#include "dsp/CWeightingFilter.h"
#include "dsp/DoseMath.h"
#include "dsp/ExposureLimits.h"
#include "dsp/LevelMath.h"
#include "dsp/LevelMeter.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/FakeLoginItemService.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/MemoryFileStore.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "services/DoseCalculator.h"
#include "services/LeqStatisticsService.h"
#include "services/SessionManager.h"
#include "support/CommandRun.h"
#include "support/ModulatedNoise.h"
#include "support/ParamNames.h"
#include "support/SoundFiles.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <optional>
#include <set>
#include <span>
#include <vector>

namespace kavro {
namespace {

constexpr double kRate = 48000.0;
constexpr std::int64_t kFramesPerTick = 4800;

// ---- impulses ----

// A 10 ms, 1 kHz burst whose C-weighted peak is about 139 dBC with this offset.
constexpr double kBurstOffset = 140.0;
constexpr std::size_t kBurstFrames = 480;

void addBurst(std::vector<float>& signal, std::size_t start) {
    const double amplitude = std::pow(10.0, -1.0 / 20.0);
    for (std::size_t i = 0; i < kBurstFrames; ++i) {
        signal[start + i] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * static_cast<double>(i) / kRate));
    }
}

// The signal through the C-weighting filter in one go: the reference for the peaks.
struct WeightedPeaks {
    double highestDbc = 0;
    std::vector<std::int64_t> framesAt135; // frames whose weighted sample reaches 135 dBC
};

WeightedPeaks weightedPeaks(std::vector<float> signal) {
    dsp::CWeightingFilter filter(kRate);
    filter.process(signal);
    WeightedPeaks peaks;
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double level = dsp::level::peakDb(std::fabs(signal[i]), kBurstOffset);
        peaks.highestDbc = std::max(peaks.highestDbc, level);
        if (level >= dsp::eu::kPeakLowerActionDbc) {
            peaks.framesAt135.push_back(static_cast<std::int64_t>(i));
        }
    }
    return peaks;
}

// How many feed intervals hold a frame at 135 dBC, when interval(frame) names the tick
// that takes the frame.
template <typename TickOf> std::int64_t intervalsAt135(const WeightedPeaks& peaks, TickOf tickOf) {
    std::set<std::int64_t> ticks;
    for (const std::int64_t frame : peaks.framesAt135) {
        ticks.insert(tickOf(frame));
    }
    return static_cast<std::int64_t>(ticks.size());
}

QJsonObject analyzeFile(const QString& path, double offset) {
    const auto run = testsupport::runCommand(cli::runAnalyze,
                                             {path, "--offset", QString::number(offset, 'g', 17), "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    return run.json();
}

bool writeSignal(const QString& path, const std::vector<float>& signal) {
    return testsupport::writeWav(path, static_cast<int>(kRate), 1, static_cast<long>(signal.size()),
                                 [&](long frame, int) { return signal[static_cast<std::size_t>(frame)]; });
}

TEST(ImpulseCounting, ABurstIsCountedWhereverItFallsInTheFile) {
    QTemporaryDir folder;
    for (std::size_t offset = 0; offset <= 4800; offset += 97) {
        std::vector<float> signal(3 * kFramesPerTick, 0.0f);
        addBurst(signal, offset);
        const WeightedPeaks reference = weightedPeaks(signal);
        ASSERT_FALSE(reference.framesAt135.empty());
        const QString path = folder.filePath(QStringLiteral("burst-%1.wav").arg(offset));
        ASSERT_TRUE(writeSignal(path, signal));

        const QJsonObject report = analyzeFile(path, kBurstOffset);
        // Each 0.1 s of the file is one interval; a burst across a tick is in two.
        const std::int64_t expected =
            intervalsAt135(reference, [](std::int64_t frame) { return frame / kFramesPerTick; });
        EXPECT_EQ(report["peakCount135"].toInteger(), expected) << "burst at frame " << offset;
        EXPECT_GE(report["peakCount135"].toInteger(), 1) << "burst at frame " << offset;
        EXPECT_NEAR(report["todayPeakDBC"].toDouble(), reference.highestDbc, 0.05)
            << "burst at frame " << offset;
    }
}

// The application counts the same bursts from live capture, whatever buffers the device
// delivers and however they fall against the 0.1 s ticks.
class LiveImpulseCounting : public ::testing::TestWithParam<std::size_t> {};

TEST_P(LiveImpulseCounting, TheApplicationCountsBurstsLikeTheAnalysis) {
    const std::size_t bufferFrames = GetParam();
    // Fifty bursts half a second apart, each 97 frames further into its tick.
    constexpr std::size_t kBursts = 50;
    std::vector<float> signal(kBursts * 5 * kFramesPerTick, 0.0f);
    for (std::size_t burst = 0; burst < kBursts; ++burst) {
        addBurst(signal, burst * 5 * kFramesPerTick + burst * 97);
    }
    const WeightedPeaks reference = weightedPeaks(signal);

    platform::testing::ScriptedAudioBackend backend;
    platform::MemoryPreferencesStore preferences;
    platform::testing::ManualClock clock;
    platform::testing::RecordingNotificationCenter notifications;
    platform::testing::ScriptedWorkspace workspace;
    platform::testing::FakeLoginItemService loginItem;
    platform::testing::MemoryFileStore files;
    core::AppState state(
        {backend, preferences, clock, notifications, workspace, loginItem, files, QStringLiteral("/data")});
    state.setCalibrationOffset(kBurstOffset);
    state.startSession(QStringLiteral("Manual Session"));
    ASSERT_NE(backend.stream(), nullptr);

    // Every 0.1 s of audio the buffers that have arrived by then, then a tick.
    const std::span<const float> samples(signal);
    std::size_t delivered = 0;
    for (std::int64_t tick = 1; delivered < samples.size(); ++tick) {
        std::vector<std::vector<float>> buffers;
        while (delivered < samples.size() &&
               static_cast<std::int64_t>(std::min(delivered + bufferFrames, samples.size())) <=
                   tick * kFramesPerTick) {
            const auto buffer =
                samples.subspan(delivered, std::min(bufferFrames, samples.size() - delivered));
            buffers.emplace_back(buffer.begin(), buffer.end());
            delivered += buffer.size();
        }
        backend.stream()->deliver(std::move(buffers));
        QCoreApplication::sendPostedEvents();
        clock.advance(0.1);
        state.splFeedTick();
    }
    QCoreApplication::sendPostedEvents();

    // A buffer goes to the first tick at or after its end.
    const auto tickOf = [&](std::int64_t frame) {
        const auto size = static_cast<std::int64_t>(bufferFrames);
        const std::int64_t end =
            std::min<std::int64_t>((frame / size + 1) * size, static_cast<std::int64_t>(signal.size()));
        return (end + kFramesPerTick - 1) / kFramesPerTick;
    };
    const services::DoseCalculator& dose = state.doseCalculator();
    EXPECT_EQ(dose.peakCount135(), intervalsAt135(reference, tickOf));
    EXPECT_GE(dose.peakCount135(), static_cast<std::int64_t>(kBursts));
    ASSERT_TRUE(state.sessionManager().currentSession());
    EXPECT_EQ(state.sessionManager().currentSession()->peakCount135, dose.peakCount135());

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("bursts.wav"));
    ASSERT_TRUE(writeSignal(path, signal));
    const QJsonObject report = analyzeFile(path, kBurstOffset);
    EXPECT_EQ(dose.todayPeakDBC(), report["todayPeakDBC"].toDouble());
    EXPECT_NEAR(dose.todayPeakDBC(), reference.highestDbc, 0.05);
    EXPECT_EQ(report["peakCount135"].toInteger(),
              intervalsAt135(reference, [](std::int64_t frame) { return frame / kFramesPerTick; }));
}

INSTANTIATE_TEST_SUITE_P(BufferSizes, LiveImpulseCounting, ::testing::Values(441, 1023, 1024, 1025, 6000),
                         kavro::testing::PrintedName());

// ---- modulated noise ----

constexpr double kNoiseSeconds = 600.0;
constexpr double kNoiseOffset = 120.0;
constexpr double kCarrierRms = 0.05;

struct Figures {
    double dosePercentage = 0;
    double leq10min = 0;
    double l10 = 0;
    double l50 = 0;
    double l90 = 0;
};

std::int64_t noiseFrames(double rate) {
    return std::llround(kNoiseSeconds * rate);
}

// The analysis of `kavro-cli analyze`, fed from memory in the buffers of live capture.
Figures analysed(double rate) {
    testsupport::ModulatedNoise noise(rate, kCarrierRms);
    dsp::LevelMeter meter(rate);
    cli::ExposureAnalysis analysis(rate, false);
    std::vector<float> buffer(1024);
    const std::int64_t total = noiseFrames(rate);
    for (std::int64_t start = 0; start < total; start += 1024) {
        const auto span = std::span<float>(buffer).first(
            static_cast<std::size_t>(std::min<std::int64_t>(1024, total - start)));
        noise.next(span);
        analysis.add(meter, meter.process(span, kNoiseOffset), start);
    }
    analysis.finish();
    QCoreApplication::sendPostedEvents();
    const auto& statistics = analysis.statistics();
    EXPECT_TRUE(statistics.leq10min() && statistics.l10() && statistics.l50() && statistics.l90());
    return {analysis.dose().dosePercentage(), statistics.leq10min().value_or(0), statistics.l10().value_or(0),
            statistics.l50().value_or(0), statistics.l90().value_or(0)};
}

// The same from the A-weighted energy of each 0.1 s block of the signal.
struct BlockReference {
    Figures figures;
    double laeq = 0;
};

BlockReference fromBlocks(double rate) {
    testsupport::ModulatedNoise noise(rate, kCarrierRms);
    dsp::AWeightingFilter filter(rate);
    const auto blockFrames = static_cast<std::size_t>(std::llround(rate / 10.0));
    std::vector<float> block(blockFrames);
    std::vector<double> levels;
    double totalSquares = 0;
    double dose = 0;
    for (std::int64_t start = 0; start < noiseFrames(rate); start += static_cast<std::int64_t>(blockFrames)) {
        noise.next(block);
        filter.process(block);
        double sumSquares = 0;
        for (const float sample : block) {
            sumSquares += static_cast<double>(sample) * sample;
        }
        totalSquares += sumSquares;
        const double level = 10.0 * std::log10(sumSquares / static_cast<double>(blockFrames)) + kNoiseOffset;
        levels.push_back(level);
        if (level >= dsp::niosh::kThresholdDb) {
            dose += dsp::dose::doseFraction(level, 0.1);
        }
    }
    std::sort(levels.begin(), levels.end());
    const auto exceededBy = [&](double fraction) {
        return levels[static_cast<std::size_t>(
            std::lround((1.0 - fraction) * static_cast<double>(levels.size() - 1)))];
    };
    BlockReference reference;
    reference.laeq = 10.0 * std::log10(totalSquares / static_cast<double>(noiseFrames(rate))) + kNoiseOffset;
    reference.figures = {dose * 100.0, reference.laeq, exceededBy(0.1), exceededBy(0.5), exceededBy(0.9)};
    return reference;
}

// Ten minutes at each rate take a moment: each is analysed once for both tests.
const Figures& analysedAt(double rate) {
    static std::map<double, Figures> cache;
    auto it = cache.find(rate);
    if (it == cache.end()) {
        it = cache.emplace(rate, analysed(rate)).first;
    }
    return it->second;
}

TEST(ModulatedNoise, DoseAndStatisticsMatchThe100MillisecondBlocks) {
    const BlockReference reference = fromBlocks(kRate);
    const Figures& figures = analysedAt(kRate);
    // Loud enough that every block counts towards the dose, and swinging widely.
    ASSERT_GT(reference.figures.l90, 82.0);
    ASSERT_GT(reference.figures.l10 - reference.figures.l90, 8.0);

    EXPECT_NEAR(figures.dosePercentage, reference.figures.dosePercentage,
                reference.figures.dosePercentage * 0.01);
    EXPECT_NEAR(figures.leq10min, reference.laeq, 0.05);
    EXPECT_NEAR(figures.l10, reference.figures.l10, 0.2);
    EXPECT_NEAR(figures.l50, reference.figures.l50, 0.2);
    EXPECT_NEAR(figures.l90, reference.figures.l90, 0.2);
}

TEST(ModulatedNoise, TheSampleRateDoesNotChangeTheFigures) {
    const Figures& at48 = analysedAt(48000.0);
    for (const double rate : {44100.0, 96000.0}) {
        const Figures& figures = analysedAt(rate);
        EXPECT_NEAR(figures.dosePercentage, at48.dosePercentage, at48.dosePercentage * 0.005) << rate;
        EXPECT_NEAR(figures.leq10min, at48.leq10min, 0.1) << rate;
        EXPECT_NEAR(figures.l10, at48.l10, 0.1) << rate;
        EXPECT_NEAR(figures.l50, at48.l50, 0.1) << rate;
        EXPECT_NEAR(figures.l90, at48.l90, 0.1) << rate;
    }
}

} // namespace
} // namespace kavro
