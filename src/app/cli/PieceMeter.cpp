// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/PieceMeter.h"

#include "services/AudioMeasurementService.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace kavro::cli {

namespace {

constexpr auto kFramesPerBuffer =
    static_cast<std::int64_t>(services::AudioMeasurementService::kFramesPerBuffer);
// Every buffer holds at most two ticks of the feed, the most BufferExposure can carry.
static_assert(kFramesPerBuffer * 10 < 3 * platform::SoundFile::kMinimumSampleRate);
constexpr double kFilterWarmUpSeconds = 3.0;
constexpr std::int64_t kSmoothingWarmUpBuffers = 160;
// Pieces of about a minute; fewer frames at very high rates, so that the pieces held at
// a time stay within a few megabytes.
constexpr double kPieceSeconds = 60.0;
constexpr std::int64_t kMaximumPieceFrames = std::int64_t{1} << 22;
// A piece is at least this many warm-ups long, so that warming up costs little.
constexpr std::int64_t kPieceToWarmUp = 8;
// Pieces measured ahead of the one being handed out, per thread.
constexpr std::size_t kPiecesAheadPerThread = 2;
// Beyond this the one thread that takes the buffers in order keeps the others waiting,
// and the pieces held would make memory grow with the machine.
constexpr unsigned kMaximumThreads = 8;
constexpr std::int64_t kFramesPerRead = 16 * kFramesPerBuffer;

std::int64_t wholeBuffers(std::int64_t frames) {
    return (frames + kFramesPerBuffer - 1) / kFramesPerBuffer * kFramesPerBuffer;
}

} // namespace

struct PieceMeter::Worker {
    std::unique_ptr<platform::SoundFile> file;
    dsp::LevelMeter meter;
    std::vector<float> samples;
    std::thread thread;
};

std::int64_t PieceMeter::warmUpFrames(double sampleRate) {
    const auto filterFrames = static_cast<std::int64_t>(std::ceil(kFilterWarmUpSeconds * sampleRate));
    return std::max(wholeBuffers(filterFrames), kSmoothingWarmUpBuffers * kFramesPerBuffer);
}

std::unique_ptr<PieceMeter> PieceMeter::open(const FileMeter::Options& options, double sampleRate,
                                             std::int64_t frameCount, unsigned threads) {
    threads = std::min(threads, kMaximumThreads);
    const double rate = sampleRate;
    const std::int64_t frames = frameCount;
    const std::int64_t shortest = kPieceToWarmUp * warmUpFrames(rate);
    const auto perThread = (frames + static_cast<std::int64_t>(threads) - 1) / std::max(1U, threads);
    const std::int64_t pieceFrames =
        wholeBuffers(std::max(shortest, std::min({perThread, static_cast<std::int64_t>(kPieceSeconds * rate),
                                                  kMaximumPieceFrames})));
    if (threads < 2 || frames <= pieceFrames) {
        return nullptr;
    }
    auto meter = std::unique_ptr<PieceMeter>(new PieceMeter());
    for (unsigned i = 0; i < threads; ++i) {
        auto opened = platform::SoundFile::open(options.path);
        auto* reader = std::get_if<std::unique_ptr<platform::SoundFile>>(&opened);
        if (!reader || (*reader)->frameCount() != frames || !(*reader)->seekExactly(0)) {
            return nullptr;
        }
        auto worker = std::make_unique<Worker>();
        worker->file = std::move(*reader);
        worker->samples.resize(static_cast<std::size_t>(kFramesPerRead));
        meter->m_workers.push_back(std::move(worker));
    }
    meter->m_options = options;
    meter->m_sampleRate = rate;
    meter->m_frameCount = frames;
    meter->m_pieceFrames = pieceFrames;
    meter->m_pieceCount = (frames + pieceFrames - 1) / pieceFrames;
    meter->m_slots.resize(kPiecesAheadPerThread * threads);
    return meter;
}

PieceMeter::~PieceMeter() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (auto& worker : m_workers) {
        if (worker->thread.joinable()) {
            worker->thread.join();
        }
    }
}

std::int64_t PieceMeter::run(const BufferHandler& onBuffer) {
    for (auto& worker : m_workers) {
        worker->thread = std::thread([this, &worker = *worker] { work(worker); });
    }
    std::int64_t measured = 0;
    for (std::int64_t index = 0; index < m_pieceCount; ++index) {
        Piece& piece = slotOf(index);
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return piece.done; });
        }
        // The piece is ours until it is handed back below.
        for (const BufferExposure& buffer : piece.buffers) {
            onBuffer(buffer);
            measured = buffer.startFrame + static_cast<std::int64_t>(buffer.reading.frames);
        }
        const bool cutShort = piece.cutShort;
        {
            const std::lock_guard lock(m_mutex);
            piece.done = false;
            piece.buffers.clear();
            ++m_consumedPieces;
            m_stopping = m_stopping || cutShort;
        }
        m_changed.notify_all();
        if (cutShort) {
            break;
        }
    }
    return measured;
}

void PieceMeter::work(Worker& worker) {
    for (;;) {
        std::int64_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] {
                return m_stopping || m_nextPiece >= m_pieceCount ||
                       m_nextPiece < m_consumedPieces + static_cast<std::int64_t>(m_slots.size());
            });
            if (m_stopping || m_nextPiece >= m_pieceCount) {
                return;
            }
            index = m_nextPiece++;
        }
        Piece& piece = slotOf(index);
        piece.start = index * m_pieceFrames;
        piece.end = std::min(m_frameCount, piece.start + m_pieceFrames);
        measure(worker, piece);
        {
            const std::lock_guard lock(m_mutex);
            piece.done = true;
        }
        m_changed.notify_all();
    }
}

void PieceMeter::measure(Worker& worker, Piece& piece) {
    std::int64_t position = std::max<std::int64_t>(0, piece.start - warmUpFrames(m_sampleRate));
    piece.cutShort = !worker.file->seekExactly(position);
    if (piece.cutShort) {
        return;
    }
    worker.meter.restart(m_sampleRate);
    const std::span<float> samples(worker.samples);
    while (position < piece.end) {
        const auto wanted = static_cast<std::size_t>(std::min(kFramesPerRead, piece.end - position));
        const std::size_t read = worker.file->readChannel(m_options.channel, samples.first(wanted));
        for (std::size_t first = 0; first < read; first += kFramesPerBuffer) {
            const auto buffer =
                samples.subspan(first, std::min(static_cast<std::size_t>(kFramesPerBuffer), read - first));
            const dsp::MeterReading reading = worker.meter.process(buffer, m_options.calibrationOffset);
            if (position >= piece.start) {
                piece.buffers.push_back(ExposureAnalysis::cut(worker.meter, reading, position, m_sampleRate));
            }
            position += static_cast<std::int64_t>(buffer.size());
        }
        if (read < wanted) {
            piece.cutShort = true;
            return;
        }
    }
}

} // namespace kavro::cli
