// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/CriteriaMeter.h"

#include "dsp/LevelMath.h"
#include "services/DoseCalculator.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace kavro::services {

namespace criteria = dsp::criteria;
namespace keys = platform::keys;
using criteria::Criterion;

namespace {

const QString kSavedAtKey = QStringLiteral("savedAt");

QString keyOf(const criteria::CriterionParameters& entry) {
    return QString::fromLatin1(entry.key.data(), static_cast<qsizetype>(entry.key.size()));
}

// What one day can hold: the dose of the longest day at the highest level the meter reports.
bool plausible(const criteria::CriterionParameters& entry, double dose) {
    const double most =
        criteria::doseFraction(entry, dsp::level::kSmoothingInputCapDb, DoseCalculator::kLongestDaySeconds);
    return dose >= 0.0 && dose <= most;
}

} // namespace

CriteriaMeter::Figures CriteriaMeter::Figures::of(const models::Session& session) {
    const double exposure = session.soundExposureOrEstimate();
    criteria::CriteriaDoses doses;
    doses.setDose(Criterion::nioshRel, session.doseAccumulated / 100.0);
    doses.setDose(Criterion::oshaPel, session.oshaPelDose / 100.0);
    doses.setDose(Criterion::oshaHearingConservation, session.oshaHearingConservationDose / 100.0);
    doses.setDose(Criterion::euDailyExposure,
                  criteria::doseOfSoundExposure(Criterion::euDailyExposure, exposure));
    doses.setDose(Criterion::whoWeekly, criteria::doseOfSoundExposure(Criterion::whoWeekly, exposure));
    return Figures{doses};
}

CriteriaMeter::Figures CriteriaMeter::Figures::sumOf(const QList<models::Session>& sessions) {
    Figures total;
    for (const models::Session& session : sessions) {
        total.doses.addDoses(of(session).doses);
    }
    return total;
}

CriteriaMeter::CriteriaMeter(platform::Settings settings, const platform::Clock& clock, QObject* parent)
    : QObject(parent), m_settings(settings), m_clock(clock) {}

double CriteriaMeter::todaySoundExposure() const {
    return criteria::soundExposureOfDose(Criterion::whoWeekly, m_today.dose(Criterion::whoWeekly));
}

QList<criteria::Figure> CriteriaMeter::figures(double nioshDose, double weeklyDose) const {
    QList<criteria::Figure> list;
    for (const auto& entry : criteria::kCriteria) {
        double dose = m_today.dose(entry.criterion);
        if (entry.criterion == Criterion::nioshRel) {
            dose = nioshDose;
        } else if (entry.criterion == Criterion::whoWeekly) {
            dose = weeklyDose;
        }
        list.append(criteria::figureOf(entry.criterion, dose, m_currentLevel));
    }
    return list;
}

void CriteriaMeter::addMeasurement(double dBA, const QDateTime& at) {
    if (!std::isfinite(dBA)) {
        return;
    }
    m_currentLevel = dBA;
    if (m_lastMeasurementTime && m_lastMeasurementTime->isValid() && at.isValid()) {
        const double step = static_cast<double>(m_lastMeasurementTime->msecsTo(at)) / 1000.0;
        if (step > 0.0 && step < DoseCalculator::kMaxStepSeconds) {
            m_today.add(dBA, step);
            // The preferences reach the disk once a second at most: writing the figures'
            // text for them at every tick would cost more than the rest of the tick.
            if (!m_storedAt || std::abs(m_storedAt->msecsTo(at)) >= kStoreIntervalMs) {
                store();
                m_storedAt = at;
            }
        }
    }
    m_lastMeasurementTime = at;
    emit changed();
}

void CriteriaMeter::store() {
    QJsonObject object{{kSavedAtKey, m_clock.now().toUTC().toString(Qt::ISODateWithMs)}};
    for (const auto& entry : criteria::kCriteria) {
        object.insert(keyOf(entry), m_today.dose(entry.criterion));
    }
    m_settings.setValue(keys::criteriaToday, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<criteria::CriteriaDoses> CriteriaMeter::storedToday(const platform::PreferencesStore& store,
                                                                  const platform::Clock& clock) {
    const QJsonObject object =
        QJsonDocument::fromJson(platform::Settings::valueIn(store, keys::criteriaToday)).object();
    const QDateTime savedAt = QDateTime::fromString(object.value(kSavedAtKey).toString(), Qt::ISODateWithMs);
    if (!savedAt.isValid() || !clock.isToday(savedAt)) {
        return std::nullopt;
    }
    // A damaged figure is left at 0; the sessions of the day raise it again.
    criteria::CriteriaDoses doses;
    for (const auto& entry : criteria::kCriteria) {
        const double dose = object.value(keyOf(entry)).toDouble();
        doses.setDose(entry.criterion, plausible(entry, dose) ? dose : 0.0);
    }
    return doses;
}

void CriteriaMeter::restore() {
    const auto stored = storedToday(m_settings.store(), m_clock);
    m_today = stored.value_or(criteria::CriteriaDoses{});
    if (!stored) {
        m_settings.remove(keys::criteriaToday);
    }
    emit changed();
}

void CriteriaMeter::raiseTo(const QList<models::Session>& todaysSessions) {
    const criteria::CriteriaDoses total = Figures::sumOf(todaysSessions).doses;
    for (const auto& entry : criteria::kCriteria) {
        const double dose = total.dose(entry.criterion);
        if (dose > m_today.dose(entry.criterion)) {
            m_today.setDose(entry.criterion, dose);
        }
    }
    store();
    emit changed();
}

void CriteriaMeter::removeSession(const models::Session& session) {
    const criteria::CriteriaDoses removed = Figures::of(session).doses;
    for (const auto& entry : criteria::kCriteria) {
        const double share = removed.dose(entry.criterion);
        if (std::isfinite(share)) {
            m_today.setDose(entry.criterion,
                            std::max(0.0, m_today.dose(entry.criterion) - std::max(0.0, share)));
        }
    }
    store();
    emit changed();
}

void CriteriaMeter::reset() {
    m_today.clear();
    m_lastMeasurementTime.reset();
    m_settings.remove(keys::criteriaToday);
    emit changed();
}

} // namespace kavro::services
