// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/DoseLevel.h"
#include "platform/Clock.h"
#include "platform/Settings.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

namespace kavro::services {

// Today's noise dose: integrates listening time against the NIOSH limit, classifies it
// into a band, projects it to the end of a working day, counts the EU impulse peaks,
// and keeps all of it in the preferences store so that a restart on the same day
// continues where it stopped.
//
// The dose values (dosePercentage, doseLevel, projectedDoseAtEndOfDay) are published
// by tasks posted to the main thread, never inside the call that computed them; the
// peak counters, accumulatedDose and the store change inside the call.
class DoseCalculator : public QObject {
    Q_OBJECT
public:
    // Two measurements further apart than this are treated as a pause, not as listening.
    static constexpr double kMaxStepSeconds = 60.0;

    // What one day can hold. A stored value outside it was never measured (a damaged or
    // hand-edited preferences file) and is reset at launch.
    // The longest calendar day: 25 hours, when the clocks go back.
    static constexpr double kLongestDaySeconds = 25 * 3600.0;
    // A level or peak: what a full-scale sample reads at the highest calibration offset
    // the program accepts.
    static constexpr double kHighestLevelDb = 200.0;
    // A counter grows by at most one per measurement, ten measurements a second.
    static constexpr std::int64_t kMostCountsInADay = static_cast<std::int64_t>(10 * kLongestDaySeconds);
    // The dose of the longest day spent wholly at the highest level the meter reports.
    static double mostDoseInADay();

    DoseCalculator(platform::Settings settings, const platform::Clock& clock, QObject* parent = nullptr);

    // Published values.
    double dosePercentage() const { return m_dosePercentage; }
    models::DoseLevel doseLevel() const { return m_doseLevel; }
    double projectedDoseAtEndOfDay() const { return m_projectedDoseAtEndOfDay; }
    std::int64_t peakCount135() const { return m_peakCount135; }
    std::int64_t peakCount137() const { return m_peakCount137; }
    std::int64_t peakCount140() const { return m_peakCount140; }
    double todayPeakDBC() const { return m_todayPeakDBC; }
    std::int64_t peakDBACount115() const { return m_peakDBACount115; }

    // Today's dose as a fraction (1.0 = the whole allowance); the authoritative value.
    double accumulatedDose() const { return m_accumulatedDose; }
    // accumulatedDose when the current session started; the session's dose is the difference.
    double sessionStartDose() const { return m_sessionStartDose; }
    void setSessionStartDose(double dose) { m_sessionStartDose = dose; }
    bool conservativeMode() const { return m_conservativeMode; }
    // When on, the dose uses the higher of the A- and C-weighted levels. Stored, because
    // the calculator reads it back at the next launch.
    void setConservativeMode(bool on);
    // The band last announced through onThresholdCrossed (or set silently).
    models::DoseLevel previousDoseLevel() const { return m_previousDoseLevel; }

    // Called in the posted task when accumulation moves the dose into another band.
    std::function<void(models::DoseLevel)> onThresholdCrossed;
    // Called inside addMeasurement for every C-weighted peak at or above 135 dBC.
    std::function<void(double peakDBC)> onPeakAlert;
    // Called inside addMeasurement for every A-weighted peak at or above 115 dBA.
    std::function<void(double peakDBA)> onInstantaneousPeakAlert;

    // One reading of the live levels (all in dB SPL) taken at `at`.
    void addMeasurement(double dBA, double dBC, double peakDBC, double peakDBA, const QDateTime& at);
    // Audio flows again from `at` after the input was gone: the time before it was not
    // measured, so the next measurement counts only from here.
    void resumeMeasuringAt(const QDateTime& at) { m_lastMeasurementTime = at; }
    // At launch: continues today's stored dose, or clears a stored dose of another day.
    // A stored value that no day can reach is reset, and the line returned says which.
    std::optional<QString> restorePersistedDose();
    // At launch: raises the dose to the total of today's completed sessions (percent) if that is higher.
    void reconcileWithSessions(double todayCompletedDose);
    // Sets the dose (percent), up or down.
    void overrideDose(double percent);
    // A completed session of today was deleted: its share (percent) is taken away and
    // nothing else, so the running session's share, the dose heard outside sessions and
    // the day's peaks stay. The day's dose stays at least `remainingPercent` (today's
    // other completed sessions) plus the running session's share.
    void removeSessionDose(double sessionPercent, double remainingPercent, bool sessionRunning);
    // Stores the dose as it is, dated now: the day boundary moved and the stored dose
    // must stay today's.
    void storeDose() { persistDose(); }
    // A new day: dose, counters and stored state back to zero.
    void reset();

signals:
    void changed();

private:
    void trackPeak(double peakDBC);
    void persistDose();
    void clearPersistedDose();
    // Restores the peak figures that a day can hold; names the ones reset.
    QStringList restorePeaks();
    // Sets the dose and the session mark (fractions), stores them and publishes the dose
    // as restore, reconcile and override do: the band moves without a callback.
    void setDoseSilently(double dose, double sessionStartDose);
    void publishSilently(double dose);

    platform::Settings m_settings;
    const platform::Clock& m_clock;

    double m_dosePercentage = 0;
    models::DoseLevel m_doseLevel = models::DoseLevel::safe;
    double m_projectedDoseAtEndOfDay = 0;
    std::int64_t m_peakCount135 = 0;
    std::int64_t m_peakCount137 = 0;
    std::int64_t m_peakCount140 = 0;
    double m_todayPeakDBC = 0;
    std::int64_t m_peakDBACount115 = 0;

    double m_accumulatedDose = 0;
    std::optional<QDateTime> m_lastMeasurementTime;
    models::DoseLevel m_previousDoseLevel = models::DoseLevel::safe;
    double m_sessionStartDose = 0;
    bool m_conservativeMode = false;
    // Bumped by reset(): tasks posted before a reset belong to the old day and are dropped.
    std::uint64_t m_generation = 0;
};

} // namespace kavro::services
