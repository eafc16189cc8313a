// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/WarningDose.h"

#include "services/CriteriaMeter.h"
#include "services/DoseCalculator.h"
#include "services/SessionManager.h"
#include "services/WeeklyExposure.h"

#include <array>
#include <utility>

namespace kavro::core {

using dsp::criteria::Criterion;

namespace {

const std::array<std::pair<WarningDose::Choice, QLatin1String>, 3> kChoiceNames{{
    {WarningDose::Choice::nioshDaily, QLatin1String("nioshDaily")},
    {WarningDose::Choice::oshaPelDaily, QLatin1String("oshaPelDaily")},
    {WarningDose::Choice::whoWeekly, QLatin1String("whoWeekly")},
}};

} // namespace

WarningDose::Choice WarningDose::choiceNamed(const QString& name) {
    for (const auto& [choice, text] : kChoiceNames) {
        if (name == text) {
            return choice;
        }
    }
    return Choice::nioshDaily;
}

QString WarningDose::nameOf(Choice choice) {
    for (const auto& [entry, text] : kChoiceNames) {
        if (entry == choice) {
            return text;
        }
    }
    return {};
}

Criterion WarningDose::criterionOf(Choice choice) {
    switch (choice) {
    case Choice::oshaPelDaily:
        return Criterion::oshaPel;
    case Choice::whoWeekly:
        return Criterion::whoWeekly;
    case Choice::nioshDaily:
        break;
    }
    return Criterion::nioshRel;
}

WarningDose::WarningDose(const services::DoseCalculator& dose, const services::CriteriaMeter& criteria,
                         const services::SessionManager& sessions, const platform::Clock& clock)
    : m_dose(dose), m_criteria(criteria), m_sessions(sessions), m_clock(clock) {}

void WarningDose::setChoice(Choice choice) {
    m_choice = choice;
    settle();
}

double WarningDose::weeklyPercentage() const {
    return services::WeeklyExposure(m_sessions.sessionHistory(), m_clock, m_criteria.todaySoundExposure())
               .dose() *
           100.0;
}

double WarningDose::percentage() const {
    switch (m_choice) {
    case Choice::oshaPelDaily:
        return m_criteria.today().dose(Criterion::oshaPel) * 100.0;
    case Choice::whoWeekly:
        return weeklyPercentage();
    case Choice::nioshDaily:
        break;
    }
    return m_dose.dosePercentage();
}

models::DoseLevel WarningDose::level() const {
    if (m_choice == Choice::nioshDaily) {
        return m_dose.doseLevel();
    }
    return models::doseLevelForPercentage(percentage());
}

void WarningDose::checkCrossing() {
    if (m_choice == Choice::nioshDaily) {
        return;
    }
    const models::DoseLevel band = level();
    if (band == m_previous) {
        return;
    }
    m_previous = band;
    if (onCrossed) {
        onCrossed(band);
    }
}

void WarningDose::settle() {
    m_previous = level();
}

} // namespace kavro::core
