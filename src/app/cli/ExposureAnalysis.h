// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/IntervalAccumulator.h"
#include "dsp/LevelMeter.h"
#include "platform/Clock.h"
#include "platform/MemoryPreferencesStore.h"
#include "services/CriteriaMeter.h"
#include "services/DoseCalculator.h"
#include "services/ExposureFeed.h"
#include "services/LeqStatisticsService.h"

#include <array>
#include <cstdint>

namespace kavro::cli {

// One measured buffer as the analysis takes it: its reading and the readings of its
// stretches between the ticks of the feed. It is cut where the meter is, so that the
// analysis can take it on another thread, later.
struct BufferExposure {
    // A buffer of live capture's length holds at most two ticks even at the lowest rate
    // a file may have, so three parts at most.
    static constexpr std::size_t kMaximumParts = 3;

    std::int64_t startFrame = 0;
    dsp::MeterReading reading;
    // parts[k] ends at tick firstTick + k for k < partCount − 1; the last part runs to
    // the end of the buffer (and may be empty).
    std::array<dsp::MeterReading, kMaximumParts> parts;
    std::size_t partCount = 0;
    std::int64_t firstTick = 0;
};

// The exposure of a recording as a live session would have taken it, on the file's own
// time: the measured buffers are cut into the 0.1 s intervals between the ticks of the
// application's feed, and each interval goes through that same feed to a dose
// calculator and Leq statistics of its own. The dose lives in memory only: analysing a
// file never touches the user's stored dose.
class ExposureAnalysis {
public:
    static constexpr double kFeedRateHz = 10.0;

    ExposureAnalysis(double sampleRate, bool conservativeMode);

    // Cuts a buffer as `meter` has just measured it, starting at `startFrame`, at the
    // ticks that fall inside it (the meter measures the parts).
    static BufferExposure cut(const dsp::LevelMeter& meter, const dsp::MeterReading& reading,
                              std::int64_t startFrame, double sampleRate);
    // The next buffer of the file: each tick inside it is fed with the part before it,
    // so each interval holds exactly the audio of its 0.1 s.
    void add(const BufferExposure& buffer);
    void add(const dsp::LevelMeter& meter, const dsp::MeterReading& reading, std::int64_t startFrame) {
        add(cut(meter, reading, startFrame, m_sampleRate));
    }
    // At the end of the file: feeds the audio after the last tick, if any, as a last,
    // shorter interval, so that no sample and no peak is left out.
    void finish();

    const services::DoseCalculator& dose() const { return m_dose; }
    const services::LeqStatisticsService& statistics() const { return m_statistics; }
    const services::CriteriaMeter& criteria() const { return m_criteria; }
    std::int64_t ticks() const { return m_lastTick; }

private:
    // "Now" is the moment the audio has reached, counted from a fixed origin, so a run
    // does not depend on when or where it happens.
    class FileClock final : public platform::Clock {
    public:
        QDateTime now() const override;
        std::chrono::milliseconds elapsed() const override { return std::chrono::milliseconds(m_elapsedMs); }
        QTimeZone timeZone() const override;
        void setElapsedMs(qint64 elapsedMs) { m_elapsedMs = elapsedMs; }

    private:
        qint64 m_elapsedMs = 0;
    };

    static std::int64_t tickFrame(std::int64_t tick, double sampleRate);
    void feed(qint64 elapsedMs);

    const double m_sampleRate;
    FileClock m_clock;
    platform::MemoryPreferencesStore m_preferences;
    services::DoseCalculator m_dose;
    services::LeqStatisticsService m_statistics;
    services::CriteriaMeter m_criteria;
    services::ExposureFeed m_feed;
    dsp::IntervalAccumulator m_interval;
    // The last tick fed, counted from 1 (at 0.1 s).
    std::int64_t m_lastTick = 0;
    std::int64_t m_framesMeasured = 0;
};

} // namespace kavro::cli
