// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PieceMeter.h"
#include "cli/ExposureAnalysis.h"
#include "cli/FileMeter.h"
#include "support/SoundFiles.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace {

using kavro::cli::BufferExposure;
using kavro::cli::ExposureAnalysis;
using kavro::cli::FileMeter;
using kavro::cli::PieceMeter;

struct Measured {
    std::vector<BufferExposure> buffers;
    std::int64_t frames = 0;
    double dosePercentage = 0;
    std::array<std::int64_t, 4> peakCounts{};
};

Measured analysed(const std::function<std::int64_t(const PieceMeter::BufferHandler&)>& measure, double rate) {
    Measured run;
    ExposureAnalysis analysis(rate, false);
    run.frames = measure([&](const BufferExposure& buffer) {
        run.buffers.push_back(buffer);
        analysis.add(buffer);
    });
    analysis.finish();
    QCoreApplication::sendPostedEvents();
    const auto& dose = analysis.dose();
    run.dosePercentage = dose.dosePercentage();
    run.peakCounts = {dose.peakCount135(), dose.peakCount137(), dose.peakCount140(), dose.peakDBACount115()};
    return run;
}

double decibels(double sumSquares) {
    return 10.0 * std::log10(sumSquares);
}

} // namespace

// A file long enough to be shared out, measured in pieces on two threads, gives every
// buffer as one meter running through the whole file does: the warm-up before each
// piece leaves nothing of where its meter started but the odd last bit of a sample.
TEST(PieceMeter, PiecesGiveTheReadingsOfOnePass) {
    constexpr double kRate = 48000.0;
    const long frames = static_cast<long>(3 * 8 * PieceMeter::warmUpFrames(kRate)) + 777;
    QTemporaryDir folder;
    const QString path = folder.filePath("long.wav");
    // Noise whose level steps every second, with a burst now and then for the peaks.
    std::mt19937 generator(9);
    std::normal_distribution<float> noise(0.0f, 0.05f);
    std::vector<float> table(48001);
    for (float& value : table) {
        value = noise(generator);
    }
    ASSERT_TRUE(kavro::testsupport::writeWav(path, static_cast<int>(kRate), 2, frames, [&](long frame, int) {
        const auto step = static_cast<float>(frame / 48000 % 5);
        return frame % 70001 < 100 ? 0.95f : (0.2f + step) * table[static_cast<std::size_t>(frame % 48001)];
    }));
    const FileMeter::Options options{path, 1, 140.0};
    auto opened = FileMeter::open(options);
    auto& whole = *std::get<std::unique_ptr<FileMeter>>(opened);
    auto pieces = PieceMeter::open(options, kRate, whole.frameCount(), 2);
    ASSERT_NE(pieces, nullptr);
    EXPECT_EQ(PieceMeter::open(options, kRate, whole.frameCount() / 3, 2), nullptr) << "too short to share";

    const Measured expected = analysed(
        [&](const auto& onBuffer) {
            return whole.run([&](const kavro::dsp::MeterReading& reading, std::int64_t start) {
                onBuffer(ExposureAnalysis::cut(whole.meter(), reading, start, kRate));
            });
        },
        kRate);
    const Measured actual = analysed([&](const auto& onBuffer) { return pieces->run(onBuffer); }, kRate);

    EXPECT_EQ(actual.frames, frames);
    ASSERT_EQ(actual.buffers.size(), expected.buffers.size());
    for (std::size_t i = 0; i < expected.buffers.size(); ++i) {
        const auto& a = actual.buffers[i];
        const auto& e = expected.buffers[i];
        ASSERT_EQ(a.startFrame, e.startFrame);
        ASSERT_EQ(a.partCount, e.partCount) << i;
        EXPECT_NEAR(decibels(a.reading.sumSquaresA), decibels(e.reading.sumSquaresA), 1e-7) << i;
        EXPECT_NEAR(decibels(a.reading.sumSquaresC), decibels(e.reading.sumSquaresC), 1e-7) << i;
        EXPECT_NEAR(a.reading.peakDBC, e.reading.peakDBC, 1e-6) << i;
        EXPECT_NEAR(a.reading.smoothedDBA, e.reading.smoothedDBA, 1e-7) << i;
    }
    EXPECT_NEAR(actual.dosePercentage, expected.dosePercentage, expected.dosePercentage * 1e-9);
    EXPECT_GT(expected.peakCounts[0], 0);
    EXPECT_EQ(actual.peakCounts, expected.peakCounts);
}
