// SPDX-License-Identifier: GPL-3.0-or-later
// The sound-file microphone in real time: it delivers whole buffers from a thread of its
// own, no faster than the audio plays, starts over at the end when looping and goes
// silent at the end otherwise.
#include "platform/file/SoundFileBackend.h"
#include "platform/file/SoundFile.h"
#include "support/ParamNames.h"
#include "support/SoundFiles.h"

#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace kavro::platform {
namespace {

constexpr int kRate = 8000;
constexpr int kFileFrames = 300; // shorter than a buffer, so each buffer crosses the end
constexpr int kBufferFrames = 256;

// Every sample delivered, in order, and the size and thread of each buffer.
struct Recording {
    std::vector<float> samples;
    std::vector<std::size_t> bufferSizes;
    std::vector<std::thread::id> threads;
};

class Recorder {
public:
    CaptureCallback callback() {
        return [this](std::span<const float> samples) {
            const std::lock_guard lock(m_mutex);
            m_recording.samples.insert(m_recording.samples.end(), samples.begin(), samples.end());
            m_recording.bufferSizes.push_back(samples.size());
            m_recording.threads.push_back(std::this_thread::get_id());
        };
    }
    Recording recording() const {
        const std::lock_guard lock(m_mutex);
        return m_recording;
    }

private:
    mutable std::mutex m_mutex;
    Recording m_recording;
};

struct PaceCase {
    const char* name;
    SoundFileBackend::Pace pace;
};
using kavro::testing::PrintTo;

class SoundFileBackendTest : public ::testing::TestWithParam<PaceCase> {
protected:
    void SetUp() override {
        // Sample n holds (n + 1) / 1000, so the order of delivery can be read back.
        const QString path = m_folder.filePath(QStringLiteral("ramp.wav"));
        ASSERT_TRUE(testsupport::writeWav(path, kRate, 1, kFileFrames, [](long frame, int) {
            return static_cast<float>(frame + 1) / 1000.0f;
        }));
        auto opened = SoundFile::open(path);
        ASSERT_TRUE(std::holds_alternative<std::unique_ptr<SoundFile>>(opened));
        m_file = std::move(std::get<std::unique_ptr<SoundFile>>(opened));
    }

    QTemporaryDir m_folder;
    std::unique_ptr<SoundFile> m_file;
};

TEST_P(SoundFileBackendTest, DeliversWholeBuffersInPlayingTimeFromItsOwnThread) {
    SoundFileBackend backend(*m_file, 0, GetParam().pace);
    Recorder recorder;
    auto stream = backend.openCapture(QString(), 0, kBufferFrames, recorder.callback());
    const auto started = std::chrono::steady_clock::now();
    ASSERT_FALSE(stream->start());
    QThread::msleep(250);
    stream->stop();
    const double elapsedSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const Recording recording = recorder.recording();
    const auto& samples = recording.samples;

    // No faster than the audio plays: at most the elapsed time's worth, plus the
    // buffer sent at the start.
    ASSERT_FALSE(samples.empty());
    EXPECT_LE(samples.size(), static_cast<std::size_t>(elapsedSeconds * kRate) + kBufferFrames);
    for (const std::size_t size : recording.bufferSizes) {
        EXPECT_EQ(size, static_cast<std::size_t>(kBufferFrames));
    }
    for (const auto& thread : recording.threads) {
        EXPECT_NE(thread, std::this_thread::get_id());
    }

    // After the file's last frame: the file again from its start, or silence.
    ASSERT_GT(samples.size(), static_cast<std::size_t>(kFileFrames + 10));
    EXPECT_FLOAT_EQ(samples[kFileFrames - 1], kFileFrames / 1000.0f);
    const bool loops = GetParam().pace == SoundFileBackend::Pace::realTimeLooped;
    for (std::size_t index = kFileFrames; index < samples.size(); ++index) {
        const float expected = loops ? static_cast<float>(index % kFileFrames + 1) / 1000.0f : 0.0f;
        ASSERT_FLOAT_EQ(samples[index], expected) << "sample " << index;
    }

    // Nothing arrives once stop() has returned.
    const std::size_t delivered = samples.size();
    QThread::msleep(80);
    EXPECT_EQ(recorder.recording().samples.size(), delivered);
}

INSTANTIATE_TEST_SUITE_P(Paces, SoundFileBackendTest,
                         ::testing::Values(PaceCase{"realTime", SoundFileBackend::Pace::realTime},
                                           PaceCase{"looped", SoundFileBackend::Pace::realTimeLooped}),
                         kavro::testing::PrintedName());

} // namespace
} // namespace kavro::platform
