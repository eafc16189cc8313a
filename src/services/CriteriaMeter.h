// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ExposureCriteria.h"
#include "models/Session.h"
#include "platform/Clock.h"
#include "platform/Settings.h"

#include <QDateTime>
#include <QList>
#include <QObject>

#include <optional>

namespace kavro::services {

// Today's figures of every exposure criterion, from the same intervals as the daily dose
// and by the same rules of time: a pause of a minute or more counts nothing, a clock set
// back takes nothing away. Stored at every change, so a restart on the same day
// continues them; the application resets them when the dose resets.
//
// The NIOSH figure here counts the A-weighted level; the daily dose of DoseCalculator
// stays the one that may use the C-weighted level and that the user can correct.
class CriteriaMeter : public QObject {
    Q_OBJECT
public:
    // What a stored session counted under every criterion. Its NIOSH figure is the
    // stored dose; its energy figures come from its sound exposure (or the estimate of
    // a session stored before that was counted).
    struct Figures {
        dsp::criteria::CriteriaDoses doses;
        static Figures of(const models::Session& session);
        // The sum over sessions.
        static Figures sumOf(const QList<models::Session>& sessions);
    };

    CriteriaMeter(platform::Settings settings, const platform::Clock& clock, QObject* parent = nullptr);

    const dsp::criteria::CriteriaDoses& today() const { return m_today; }
    // Today's A-weighted sound exposure, Pa²h.
    double todaySoundExposure() const;
    // Every criterion at the current level, the NIOSH one from the daily dose given (the
    // dose calculator's), the WHO one from the weekly dose given (a fraction each).
    QList<dsp::criteria::Figure> figures(double nioshDose, double weeklyDose) const;
    // The level of the latest measurement, for projections and time left; none before one.
    std::optional<double> currentLevel() const { return m_currentLevel; }

    void addMeasurement(double dBA, const QDateTime& at);
    void resumeMeasuringAt(const QDateTime& at) { m_lastMeasurementTime = at; }
    // Today's figures as stored, when they were stored today (the command line reads
    // them without a meter).
    static std::optional<dsp::criteria::CriteriaDoses> storedToday(const platform::PreferencesStore& store,
                                                                   const platform::Clock& clock);
    // At launch: today's stored figures, or nothing when they belong to another day.
    void restore();
    // At launch: each figure at least what today's completed sessions hold.
    void raiseTo(const QList<models::Session>& todaysSessions);
    // A completed session of today was deleted: its figures are taken away.
    void removeSession(const models::Session& session);
    void reset();
    // Stores the figures as they are, dated now. Measurements store them once a second;
    // the owner stores them once more before it quits.
    void store();

signals:
    void changed();

private:
    platform::Settings m_settings;
    const platform::Clock& m_clock;
    dsp::criteria::CriteriaDoses m_today;
    std::optional<QDateTime> m_lastMeasurementTime;
    std::optional<double> m_currentLevel;
    // The measurement time of the last store a measurement made.
    std::optional<QDateTime> m_storedAt;
    static constexpr qint64 kStoreIntervalMs = 1000;
};

} // namespace kavro::services
