// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/ExposureAnalysis.h"

#include "dsp/LevelMeter.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace kavro::cli {

namespace {

constexpr qint64 kFeedIntervalMs = 100;

// Some C library routines that the dose path reaches (chosen at run time for processors
// with AVX) leave the upper halves of the vector registers in use. The meter's code,
// built for plain SSE, then waits on them at every instruction when it runs next on
// this thread: a loud one-hour file took 3.1 s instead of 1.5 s on an AMD EPYC. Clearing
// them after each tick costs a few cycles. (The application's capture thread never runs
// the dose path, so its meter does not meet this.)
void clearUpperVectorHalves() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx) {
        asm volatile("vzeroupper" ::
                         : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9",
                           "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
    }
#endif
}

} // namespace

QDateTime ExposureAnalysis::FileClock::now() const {
    return QDateTime(QDate(2000, 1, 3), QTime(0, 0), QTimeZone::utc()).addMSecs(m_elapsedMs);
}

QTimeZone ExposureAnalysis::FileClock::timeZone() const {
    return QTimeZone::utc();
}

ExposureAnalysis::ExposureAnalysis(double sampleRate, bool conservativeMode)
    : m_sampleRate(sampleRate), m_dose(m_preferences, m_clock), m_statistics(kFeedRateHz),
      m_criteria(m_preferences, m_clock), m_feed(m_dose, m_statistics, nullptr, &m_criteria) {
    m_dose.setConservativeMode(conservativeMode);
}

std::int64_t ExposureAnalysis::tickFrame(std::int64_t tick, double sampleRate) {
    return std::llround(static_cast<double>(tick) * sampleRate / kFeedRateHz);
}

BufferExposure ExposureAnalysis::cut(const dsp::LevelMeter& meter, const dsp::MeterReading& reading,
                                     std::int64_t startFrame, double sampleRate) {
    BufferExposure buffer;
    buffer.startFrame = startFrame;
    buffer.reading = reading;
    const std::int64_t endFrame = startFrame + static_cast<std::int64_t>(reading.frames);
    // The first tick after the start of the buffer (a tick on its start belongs to the
    // buffer before).
    std::int64_t tick = std::max<std::int64_t>(
        1, static_cast<std::int64_t>(static_cast<double>(startFrame) * kFeedRateHz / sampleRate) - 1);
    while (tickFrame(tick, sampleRate) <= startFrame) {
        ++tick;
    }
    buffer.firstTick = tick;
    std::int64_t from = startFrame;
    const auto partOf = [&](std::int64_t to) {
        if (from == startFrame && to == endFrame) {
            return reading;
        }
        return meter.measure(static_cast<std::size_t>(from - startFrame), static_cast<std::size_t>(to - from),
                             reading.calibrationOffset);
    };
    for (std::int64_t boundary = tickFrame(tick, sampleRate);
         boundary <= endFrame && buffer.partCount + 1 < BufferExposure::kMaximumParts;
         boundary = tickFrame(++tick, sampleRate)) {
        buffer.parts[buffer.partCount++] = partOf(boundary);
        from = boundary;
    }
    buffer.parts[buffer.partCount++] = partOf(endFrame);
    return buffer;
}

void ExposureAnalysis::add(const BufferExposure& buffer) {
    for (std::size_t part = 0; part < buffer.partCount; ++part) {
        if (buffer.parts[part].frames > 0) {
            m_interval.add(buffer.parts[part], m_sampleRate);
        }
        if (part + 1 < buffer.partCount) {
            m_lastTick = buffer.firstTick + static_cast<std::int64_t>(part);
            feed(m_lastTick * kFeedIntervalMs);
        }
    }
    m_framesMeasured = buffer.startFrame + static_cast<std::int64_t>(buffer.reading.frames);
}

void ExposureAnalysis::finish() {
    if (m_interval.frames() == 0) {
        return;
    }
    feed(std::llround(static_cast<double>(m_framesMeasured) / m_sampleRate * 1000.0));
}

void ExposureAnalysis::feed(qint64 elapsedMs) {
    m_clock.setElapsedMs(elapsedMs);
    m_feed.feed(m_interval.take(), m_clock.now());
    // The calculator publishes from tasks posted to this thread: run them before the
    // next tick, as the application's event loop would (for every receiver, so that Qt's
    // queue does not keep spent entries and slow every later call down).
    QCoreApplication::sendPostedEvents();
    clearUpperVectorHalves();
}

} // namespace kavro::cli
