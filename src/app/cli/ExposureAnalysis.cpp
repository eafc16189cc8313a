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
      m_feed(m_dose, m_statistics) {
    m_dose.setConservativeMode(conservativeMode);
}

std::int64_t ExposureAnalysis::tickFrame(std::int64_t tick) const {
    return std::llround(static_cast<double>(tick) * m_sampleRate / kFeedRateHz);
}

void ExposureAnalysis::add(const dsp::LevelMeter& meter, const dsp::MeterReading& reading,
                           std::int64_t startFrame) {
    const std::int64_t endFrame = startFrame + static_cast<std::int64_t>(reading.frames);
    std::int64_t from = startFrame;
    for (std::int64_t boundary = tickFrame(m_tick); boundary <= endFrame; boundary = tickFrame(m_tick)) {
        addPart(meter, reading, startFrame, from, boundary);
        from = std::max(from, boundary);
        feed(m_tick * kFeedIntervalMs);
        ++m_tick;
    }
    addPart(meter, reading, startFrame, from, endFrame);
    m_framesMeasured = endFrame;
}

void ExposureAnalysis::addPart(const dsp::LevelMeter& meter, const dsp::MeterReading& reading,
                               std::int64_t startFrame, std::int64_t from, std::int64_t to) {
    if (to <= from) {
        return;
    }
    const auto first = static_cast<std::size_t>(from - startFrame);
    const auto count = static_cast<std::size_t>(to - from);
    if (first == 0 && count == reading.frames) {
        m_interval.add(reading, m_sampleRate);
    } else {
        m_interval.add(meter.measure(first, count, reading.calibrationOffset), m_sampleRate);
    }
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
