// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/ReadingHandOver.h"

#include "dsp/LouderChannelInterval.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kavro::dsp::LouderChannelInterval;
using kavro::dsp::MeterReading;
using kavro::services::ReadingHandOver;

MeterReading reading(std::size_t frames, double energy, double peak, double offset = 94.0) {
    MeterReading r;
    r.frames = frames;
    r.sumSquaresA = energy;
    r.sumSquaresC = 2.0 * energy;
    r.peakDBA = peak;
    r.peakDBC = peak + 1.0;
    r.smoothedDBA = peak - 10.0;
    r.calibrationOffset = offset;
    return r;
}

// A two-channel buffer whose right channel has `right` times the left one's A energy.
ReadingHandOver::Entry stereo(const MeterReading& left, double right = 3.0) {
    ReadingHandOver::Entry entry{7, 2, {}};
    entry.readings[0] = left;
    entry.readings[1] = left;
    entry.readings[1].sumSquaresA *= right;
    entry.readings[1].peakDBA += 2.0;
    return entry;
}

std::vector<ReadingHandOver::Entry> collected(ReadingHandOver& handOver) {
    std::vector<ReadingHandOver::Entry> entries;
    handOver.collect([&](const ReadingHandOver::Entry& entry) { entries.push_back(entry); });
    return entries;
}

} // namespace

TEST(ReadingHandOverTest, OneWakeCarriesABurstInOrder) {
    ReadingHandOver handOver;
    EXPECT_TRUE(handOver.push(stereo(reading(1024, 1, 80))));
    EXPECT_FALSE(handOver.push(stereo(reading(1024, 2, 81)))) << "already asked";
    const auto first = collected(handOver);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[1].readings[0].peakDBA, 81) << "in order";
    EXPECT_TRUE(handOver.push(stereo(reading(1024, 1, 80)))) << "the next after a collect";
}

// A main thread far behind: what does not fit waits, merged channel by channel, and
// reaches the interval whole, each buffer counted with its own calibration offset.
TEST(ReadingHandOverTest, WhatDoesNotFitIsMergedAndNothingIsLost) {
    ReadingHandOver handOver;
    LouderChannelInterval expected;
    LouderChannelInterval received;
    const std::size_t overflow = 5;
    for (std::size_t i = 0; i < ReadingHandOver::kCapacity + overflow; ++i) {
        // The left channel is louder in some buffers, the right in others.
        const auto entry =
            stereo(reading(1000 + i % 3, 0.5 + double(i % 7), 70.0 + double(i % 50), i % 2 ? 94.0 : 100.0),
                   i % 4 ? 0.5 : 3.0);
        expected.add(entry.channels(), 48000.0);
        handOver.push(entry);
    }
    const auto first = collected(handOver);
    EXPECT_EQ(first.size(), ReadingHandOver::kCapacity);
    const auto last = stereo(reading(1024, 1, 60));
    expected.add(last.channels(), 48000.0);
    handOver.push(last);
    const auto rest = collected(handOver);
    ASSERT_EQ(rest.size(), 2u) << "the merged buffers, then the one that found room";
    EXPECT_EQ(rest[1].readings[0].peakDBA, 60.0);
    for (const auto* entries : {&first, &rest}) {
        for (const auto& entry : *entries) {
            received.add(entry.channels(), 48000.0);
        }
    }
    const auto want = expected.take();
    const auto got = received.take();
    EXPECT_EQ(got.frames, want.frames);
    EXPECT_NEAR(got.laeq, want.laeq, 1e-9);
    EXPECT_NEAR(got.lceq, want.lceq, 1e-9);
    EXPECT_EQ(got.peakDBA, want.peakDBA);
    EXPECT_EQ(got.peakDBC, want.peakDBC);
}
