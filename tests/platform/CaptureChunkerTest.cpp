// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/CaptureChunker.h"
#include "support/ParamNames.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using kavro::platform::CaptureChunker;

struct ChunkerCase {
    QAudioFormat::SampleFormat format;
    std::size_t writeSize; // bytes per write: odd sizes split frames and samples
};

void PrintTo(const ChunkerCase& chunker, std::ostream* os) {
    *os << "format " << int(chunker.format) << " in writes of " << chunker.writeSize;
}

// An integer code in range for the format, different for neighbouring steps.
std::int64_t code(QAudioFormat::SampleFormat format, int step) {
    if (format == QAudioFormat::Int16) {
        return (std::int64_t(step) * 37) % 65536 - 32768;
    }
    return (std::int64_t(step) * 2654435) % 4294967296LL - 2147483648LL;
}

// Encodes a full-scale value in the device's sample format, and what the chunker must
// turn it back into.
std::vector<unsigned char> encode(QAudioFormat::SampleFormat format, int step) {
    std::vector<unsigned char> bytes;
    auto append = [&bytes](const auto value) {
        const auto* raw = reinterpret_cast<const unsigned char*>(&value);
        bytes.insert(bytes.end(), raw, raw + sizeof value);
    };
    switch (format) {
    case QAudioFormat::UInt8:
        append(static_cast<std::uint8_t>(step % 256));
        break;
    case QAudioFormat::Int16:
        append(static_cast<std::int16_t>(code(format, step)));
        break;
    case QAudioFormat::Int32:
        append(static_cast<std::int32_t>(code(format, step)));
        break;
    default:
        append(static_cast<float>(step) / 4096.0f - 0.5f);
        break;
    }
    return bytes;
}

float expected(QAudioFormat::SampleFormat format, int step) {
    switch (format) {
    case QAudioFormat::UInt8:
        return (float(step % 256) - 128.0f) / 128.0f;
    case QAudioFormat::Int16:
        return float(code(format, step)) / 32768.0f;
    case QAudioFormat::Int32:
        return float(double(code(format, step)) / 2147483648.0);
    default:
        return static_cast<float>(step) / 4096.0f - 0.5f;
    }
}

class CaptureChunkerTest : public ::testing::TestWithParam<ChunkerCase> {};

TEST_P(CaptureChunkerTest, DeliversExactChunksOfTheChosenChannelInFullScaleFloat) {
    const auto [format, writeSize] = GetParam();
    constexpr int kChannels = 3;
    constexpr int kChannel = 1;
    constexpr int kFrames = 2500; // two whole chunks and a partial one

    std::vector<std::vector<float>> chunks;
    CaptureChunker chunker;
    chunker.configure(format, kChannels, kChannel, 1024,
                      [&](std::span<const float> chunk) { chunks.emplace_back(chunk.begin(), chunk.end()); });

    std::vector<unsigned char> stream;
    for (int frame = 0; frame < kFrames; ++frame) {
        for (int channel = 0; channel < kChannels; ++channel) {
            const auto bytes = encode(format, channel == kChannel ? frame : 1000 + channel);
            stream.insert(stream.end(), bytes.begin(), bytes.end());
        }
    }
    for (std::size_t at = 0; at < stream.size(); at += writeSize) {
        const std::size_t length = std::min(writeSize, stream.size() - at);
        chunker.write(reinterpret_cast<const char*>(stream.data() + at), length);
    }

    ASSERT_EQ(chunks.size(), 2u);
    for (std::size_t c = 0; c < chunks.size(); ++c) {
        ASSERT_EQ(chunks[c].size(), 1024u);
        for (int i = 0; i < 1024; ++i) {
            const int frame = int(c) * 1024 + i;
            ASSERT_EQ(chunks[c][std::size_t(i)], expected(format, frame)) << "frame " << frame;
        }
    }

    // A restart drops the partial chunk: the next chunk starts with the next write.
    chunker.clear();
    chunks.clear();
    for (int frame = 0; frame < 1024; ++frame) {
        for (int channel = 0; channel < kChannels; ++channel) {
            const auto bytes = encode(format, frame);
            chunker.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        }
    }
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0][0], expected(format, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CaptureChunkerTest,
    ::testing::Values(ChunkerCase{QAudioFormat::UInt8, 1}, ChunkerCase{QAudioFormat::UInt8, 4096},
                      ChunkerCase{QAudioFormat::Int16, 7}, ChunkerCase{QAudioFormat::Int16, 1023},
                      ChunkerCase{QAudioFormat::Int32, 5}, ChunkerCase{QAudioFormat::Int32, 1025},
                      ChunkerCase{QAudioFormat::Float, 3}, ChunkerCase{QAudioFormat::Float, 12 * 1024}),
    kavro::testing::PrintedName());

TEST(CaptureChunkerFullScale, ExtremesMapOntoPlusMinusOne) {
    std::vector<float> out;
    CaptureChunker chunker;
    chunker.configure(QAudioFormat::Int16, 1, 0, 2,
                      [&](std::span<const float> chunk) { out.assign(chunk.begin(), chunk.end()); });
    const std::int16_t samples[] = {-32768, 16384};
    chunker.write(reinterpret_cast<const char*>(samples), sizeof samples);
    EXPECT_EQ(out, std::vector<float>({-1.0f, 0.5f}));
}

} // namespace
