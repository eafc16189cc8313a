// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/ExposureAnalysis.h"
#include "cli/FileMeter.h"
#include "platform/file/SoundFile.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace kavro::cli {

// Measures a long file on several threads: the file is cut into pieces of whole buffers,
// each thread measures the next piece with a meter of its own (reading and decoding
// its own part of the file), and the caller gets every buffer in file order, as
// FileMeter would give it.
//
// A piece's meter starts warmUpFrames() before the piece, so that by the piece's first
// buffer the filters and the smoothing no longer remember where they started: the
// readings are those of one meter running through the whole file, but for rounding (the
// states of the two meters may stay a last bit apart, and now and then a sample rounds
// the other way: some 1e-9 dB in a buffer's level). Only a few pieces are held at a
// time, so memory does not grow with the file.
class PieceMeter {
public:
    using BufferHandler = std::function<void(const BufferExposure& buffer)>;

    // Audio the meter measures before a piece and throws away. The slowest part of the
    // meter's memory is the 20.6 Hz double pole of the weighting high-pass, time constant
    // 1/(2π·20.6 Hz) = 7.7 ms: after 3 s (390 time constants) what is left of the
    // starting state is about 390·e^−390 of it, far below the last bit of a double. The
    // smoothing of the shown levels keeps 0.7 of its value per buffer; 160 buffers leave
    // 0.7^160 ≈ 1e-25 of it. The longer of the two, in whole buffers.
    static std::int64_t warmUpFrames(double sampleRate);

    // A meter for the file when it is long enough to share out and can be read from any
    // frame; none otherwise (measure it with FileMeter then).
    static std::unique_ptr<PieceMeter> open(const FileMeter::Options& options, double sampleRate,
                                            std::int64_t frameCount, unsigned threads);
    ~PieceMeter();

    // Measures the whole file; returns the frames measured (fewer than the file
    // announces when it is cut short: the buffers stop where a reading stopped).
    std::int64_t run(const BufferHandler& onBuffer);

private:
    struct Piece {
        std::int64_t start = 0;
        std::int64_t end = 0;
        std::vector<BufferExposure> buffers;
        bool done = false;
        bool cutShort = false;
    };
    struct Worker;

    PieceMeter() = default;
    void work(Worker& worker);
    void measure(Worker& worker, Piece& piece);
    Piece& slotOf(std::int64_t piece) { return m_slots[static_cast<std::size_t>(piece) % m_slots.size()]; }

    FileMeter::Options m_options;
    double m_sampleRate = 0;
    std::int64_t m_frameCount = 0;
    std::int64_t m_pieceFrames = 0;
    std::int64_t m_pieceCount = 0;
    std::vector<std::unique_ptr<Worker>> m_workers;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Piece> m_slots;
    std::int64_t m_nextPiece = 0;
    std::int64_t m_consumedPieces = 0;
    bool m_stopping = false;
};

} // namespace kavro::cli
