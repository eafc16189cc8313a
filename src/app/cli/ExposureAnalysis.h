#pragma once

#include "dsp/IntervalAccumulator.h"
#include "platform/Clock.h"
#include "platform/MemoryPreferencesStore.h"
#include "services/DoseCalculator.h"
#include "services/ExposureFeed.h"
#include "services/LeqStatisticsService.h"

#include <cstdint>

namespace kavro::dsp {
class LevelMeter;
struct MeterReading;
} // namespace kavro::dsp

namespace kavro::cli {

// The exposure of a recording as a live session would have taken it, on the file's own
// time: the measured buffers are cut into the 0.1 s intervals between the ticks of the
// application's feed, and each interval goes through that same feed to a dose
// calculator and Leq statistics of its own. The dose lives in memory only: analysing a
// file never touches the user's stored dose.
class ExposureAnalysis {
public:
    static constexpr double kFeedRateHz = 10.0;

    ExposureAnalysis(double sampleRate, bool conservativeMode);

    // One buffer as `meter` has just measured it, starting at `startFrame`. A tick that
    // falls inside the buffer is fed with the part before it (the meter measures the
    // parts), so each interval holds exactly the audio of its 0.1 s.
    void add(const dsp::LevelMeter& meter, const dsp::MeterReading& reading, std::int64_t startFrame);
    // At the end of the file: feeds the audio after the last tick, if any, as a last,
    // shorter interval, so that no sample and no peak is left out.
    void finish();

    const services::DoseCalculator& dose() const { return m_dose; }
    const services::LeqStatisticsService& statistics() const { return m_statistics; }
    std::int64_t ticks() const { return m_tick - 1; }

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

    std::int64_t tickFrame(std::int64_t tick) const;
    void addPart(const dsp::LevelMeter& meter, const dsp::MeterReading& reading, std::int64_t startFrame,
                 std::int64_t from, std::int64_t to);
    void feed(qint64 elapsedMs);

    const double m_sampleRate;
    FileClock m_clock;
    platform::MemoryPreferencesStore m_preferences;
    services::DoseCalculator m_dose;
    services::LeqStatisticsService m_statistics;
    services::ExposureFeed m_feed;
    dsp::IntervalAccumulator m_interval;
    // The next tick to fire, counted from 1 (at 0.1 s).
    std::int64_t m_tick = 1;
    std::int64_t m_framesMeasured = 0;
};

} // namespace kavro::cli
