// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/DoseCalculator.h"

#include "dsp/DoseMath.h"
#include "dsp/ExposureLimits.h"
#include "dsp/LevelMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kavro::services {

namespace dose = dsp::dose;
namespace eu = dsp::eu;
namespace keys = platform::keys;
namespace niosh = dsp::niosh;
using models::DoseLevel;

namespace {

QString outsideText(QLatin1String key, const QString& stored, const QString& highest) {
    return QStringLiteral("%1 = %2 (0 to %3)").arg(key, stored, highest);
}

QString resetLine(const QStringList& values) {
    return QStringLiteral("[Kavro] Stored values no day can reach were reset to 0: ") +
           values.join(QStringLiteral(", "));
}

} // namespace

DoseCalculator::DoseCalculator(platform::Settings settings, const platform::Clock& clock, QObject* parent)
    : QObject(parent), m_settings(settings), m_clock(clock) {}

void DoseCalculator::setConservativeMode(bool on) {
    m_conservativeMode = on;
    m_settings.setValue(keys::doseConservativeMode, on);
}

void DoseCalculator::addMeasurement(double dBA, double dBC, double peakDBC, double peakDBA,
                                    const QDateTime& at) {
    trackPeak(peakDBC);

    if (peakDBA >= eu::kInstantaneousPeakDba) {
        ++m_peakDBACount115;
        emit changed();
        if (onInstantaneousPeakAlert) {
            onInstantaneousPeakAlert(peakDBA);
        }
    }

    const double level = (m_conservativeMode && dBA <= dBC) ? dBC : dBA;
    // A level that is not a finite number cannot be weighed; it would turn the dose
    // itself into not-a-number or infinity and that would be stored for the rest of the day.
    if (!(level >= niosh::kThresholdDb) || !std::isfinite(level)) {
        m_lastMeasurementTime = at;
        return;
    }

    if (m_lastMeasurementTime) {
        const double dt = (m_lastMeasurementTime->isValid() && at.isValid())
                              ? static_cast<double>(m_lastMeasurementTime->msecsTo(at)) / 1000.0
                              : std::numeric_limits<double>::quiet_NaN();
        if (dt > 0.0 && dt < kMaxStepSeconds) {
            m_accumulatedDose += dose::doseFraction(level, dt);
            persistDose();
        } else {
            // A pause of a minute or more is dropped whole, and a clock set backwards
            // never takes dose away.
            m_lastMeasurementTime = at;
            return;
        }
    }
    m_lastMeasurementTime = at;

    const double percent = m_accumulatedDose * 100.0;
    const DoseLevel band = models::doseLevelForPercentage(percent);
    const std::uint64_t generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, percent, band, level, generation] {
            if (generation != m_generation) {
                return;
            }
            m_dosePercentage = percent;
            m_doseLevel = band;
            // The remaining listening time is taken to be what is left of an 8-hour
            // day at the dose's pace, never less than nothing, whatever the clock says.
            const double doseNow = m_accumulatedDose;
            const double perHour = 1.0 / dose::allowedHours(level);
            m_projectedDoseAtEndOfDay =
                (doseNow +
                 perHour * std::max(0.0, niosh::kCriterionHours - niosh::kCriterionHours * doseNow)) *
                100.0;
            emit changed();
            if (band != m_previousDoseLevel) {
                if (onThresholdCrossed) {
                    onThresholdCrossed(band);
                }
                m_previousDoseLevel = band;
            }
        },
        Qt::QueuedConnection);
}

void DoseCalculator::trackPeak(double peakDBC) {
    if (!(peakDBC > 0.0)) {
        return;
    }
    const bool raised = m_todayPeakDBC < peakDBC;
    if (raised) {
        m_todayPeakDBC = peakDBC;
    }
    // The counters are cumulative: a peak over 140 dBC also counts as over 137 and 135.
    if (peakDBC >= eu::kPeakLimitDbc) {
        ++m_peakCount140;
        ++m_peakCount137;
        ++m_peakCount135;
    } else if (peakDBC >= eu::kPeakUpperActionDbc) {
        ++m_peakCount137;
        ++m_peakCount135;
    } else if (peakDBC >= eu::kPeakLowerActionDbc) {
        ++m_peakCount135;
    } else {
        if (raised) {
            emit changed();
        }
        return;
    }
    emit changed();
    if (onPeakAlert) {
        onPeakAlert(peakDBC);
    }
}

void DoseCalculator::persistDose() {
    m_settings.setValue(keys::accumulatedDose, m_accumulatedDose);
    m_settings.setValue(keys::doseDate, m_clock.now());
    m_settings.setValue(keys::peakCount135, m_peakCount135);
    m_settings.setValue(keys::peakCount137, m_peakCount137);
    m_settings.setValue(keys::peakCount140, m_peakCount140);
    m_settings.setValue(keys::todayPeakDBC, m_todayPeakDBC);
    m_settings.setValue(keys::peakDBACount115, m_peakDBACount115);
}

void DoseCalculator::clearPersistedDose() {
    m_settings.remove(keys::accumulatedDose);
    m_settings.remove(keys::doseDate);
    m_settings.remove(keys::peakCount135);
    m_settings.remove(keys::peakCount137);
    m_settings.remove(keys::peakCount140);
    m_settings.remove(keys::todayPeakDBC);
    m_settings.remove(keys::peakDBACount115);
}

double DoseCalculator::mostDoseInADay() {
    // The meter reports no level above its cap, and the dose is fed nothing else.
    return dose::doseFraction(dsp::level::kSmoothingInputCapDb, kLongestDaySeconds);
}

std::optional<QString> DoseCalculator::restorePersistedDose() {
    m_conservativeMode = m_settings.value(keys::doseConservativeMode);

    const std::optional<QDateTime> storedDate = m_settings.stored(keys::doseDate);
    if (!storedDate || !m_clock.isToday(*storedDate)) {
        clearPersistedDose();
        return std::nullopt;
    }
    // A dose below nothing, not a number or beyond any day: nothing stored for the day
    // can be trusted, and the day starts again from the sessions in the history.
    const std::optional<double> stored = m_settings.storedAsIs(keys::accumulatedDose);
    if (stored && !(*stored >= 0.0 && *stored <= mostDoseInADay())) {
        clearPersistedDose();
        return resetLine({outsideText(keys::accumulatedDose.name, QString::number(*stored),
                                      QString::number(mostDoseInADay(), 'f', 0))});
    }
    const double dose = stored.value_or(0.0);
    if (dose <= 0.0) {
        return std::nullopt;
    }
    const QStringList reset = restorePeaks();
    m_accumulatedDose = dose;
    m_sessionStartDose = dose;
    emit changed();
    publishSilently(dose);
    if (reset.isEmpty()) {
        return std::nullopt;
    }
    // Written back at once, so the next launch does not find the same values again.
    persistDose();
    return resetLine(reset);
}

QStringList DoseCalculator::restorePeaks() {
    QStringList reset;
    const auto count = [&](const platform::Setting<std::int64_t>& key) -> std::int64_t {
        const std::int64_t stored = m_settings.value(key);
        if (stored >= 0 && stored <= kMostCountsInADay) {
            return stored;
        }
        reset << outsideText(key.name, QString::number(stored), QString::number(kMostCountsInADay));
        return 0;
    };
    m_peakCount135 = count(keys::peakCount135);
    m_peakCount137 = count(keys::peakCount137);
    m_peakCount140 = count(keys::peakCount140);
    m_peakDBACount115 = count(keys::peakDBACount115);
    const double peak = m_settings.storedAsIs(keys::todayPeakDBC).value_or(0.0);
    m_todayPeakDBC = (peak >= 0.0 && peak <= kHighestLevelDb) ? peak : 0.0;
    if (m_todayPeakDBC != peak) {
        reset << outsideText(keys::todayPeakDBC.name, QString::number(peak),
                             QString::number(kHighestLevelDb));
    }
    return reset;
}

void DoseCalculator::reconcileWithSessions(double todayCompletedDose) {
    const double sessionsDose = todayCompletedDose / 100.0;
    // The dose is only ever raised here; "not higher" also refuses not-a-number.
    if (!(sessionsDose > m_accumulatedDose)) {
        return;
    }
    setDoseSilently(sessionsDose, sessionsDose);
}

void DoseCalculator::overrideDose(double percent) {
    // Not-a-number or infinity would be stored as today's dose and never go away.
    if (!std::isfinite(percent)) {
        return;
    }
    const double dose = percent / 100.0;
    // Keeps the running session's share (accumulated − start) at zero or above.
    setDoseSilently(dose, std::min(m_sessionStartDose, dose));
}

void DoseCalculator::removeSessionDose(double sessionPercent, double remainingPercent, bool sessionRunning) {
    if (!std::isfinite(sessionPercent) || !std::isfinite(remainingPercent)) {
        return;
    }
    const double runningShare = sessionRunning ? std::max(0.0, m_accumulatedDose - m_sessionStartDose) : 0.0;
    const double floor = std::max(0.0, remainingPercent / 100.0) + runningShare;
    const double dose = std::max(m_accumulatedDose - std::max(0.0, sessionPercent / 100.0), floor);
    // The running session's mark moves down with the day, so its share stays what it was.
    setDoseSilently(dose, sessionRunning ? dose - runningShare : std::min(m_sessionStartDose, dose));
}

void DoseCalculator::setDoseSilently(double dose, double sessionStartDose) {
    m_accumulatedDose = dose;
    m_sessionStartDose = sessionStartDose;
    persistDose();
    publishSilently(dose);
}

void DoseCalculator::reset() {
    m_accumulatedDose = 0;
    m_lastMeasurementTime.reset();
    m_previousDoseLevel = DoseLevel::safe;
    m_sessionStartDose = 0;
    m_peakCount135 = 0;
    m_peakCount137 = 0;
    m_peakCount140 = 0;
    m_todayPeakDBC = 0;
    m_peakDBACount115 = 0;
    emit changed();
    clearPersistedDose();

    // A measurement posted before the reset would otherwise publish yesterday's dose
    // and announce its band again right after the band was set back to safe.
    const std::uint64_t generation = ++m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation != m_generation) {
                return;
            }
            m_dosePercentage = 0;
            m_doseLevel = DoseLevel::safe;
            m_projectedDoseAtEndOfDay = 0;
            emit changed();
        },
        Qt::QueuedConnection);
}

void DoseCalculator::publishSilently(double dose) {
    const double percent = dose * 100.0;
    const DoseLevel band = models::doseLevelForPercentage(percent);
    const std::uint64_t generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, percent, band, generation] {
            if (generation != m_generation) {
                return;
            }
            m_dosePercentage = percent;
            m_doseLevel = band;
            m_previousDoseLevel = band;
            emit changed();
        },
        Qt::QueuedConnection);
}

} // namespace kavro::services
