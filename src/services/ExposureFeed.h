// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/IntervalAccumulator.h"

#include <QDateTime>

#include <functional>

namespace kavro::services {

class CriteriaMeter;
class DoseCalculator;
class LeqStatisticsService;
class SessionManager;

// The fast feed of the exposure figures: each interval of measured audio (normally the
// 0.1 s since the previous tick) goes, in this order, to the dose calculator, the Leq
// statistics, the running session's statistics and the sustained-listening watch, with
// the interval's LAeq/LCeq and highest peaks. The application feeds it on wall-clock
// time, the file analysis on the file's own time; both go through here.
class ExposureFeed {
public:
    // The session manager may be absent (a file analysis has no session), and so may the
    // other criteria, which come right after the daily dose.
    ExposureFeed(DoseCalculator& dose, LeqStatisticsService& statistics, SessionManager* sessions = nullptr,
                 CriteriaMeter* criteria = nullptr);

    // Called last with every fed interval's LAeq: the sustained-listening watch.
    std::function<void(double laeq)> onLevel;

    // Feeds one interval that ended at `at`. An interval without audio feeds nothing
    // (returns false): no new audio is no measurement, not a measurement of silence.
    bool feed(const dsp::IntervalLevels& interval, const QDateTime& at);

private:
    DoseCalculator& m_dose;
    LeqStatisticsService& m_statistics;
    SessionManager* m_sessions;
    CriteriaMeter* m_criteria;
};

} // namespace kavro::services
