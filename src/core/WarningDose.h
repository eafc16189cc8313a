// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ExposureCriteria.h"
#include "models/DoseLevel.h"

#include <QString>

#include <functional>
#include <optional>

namespace kavro::platform {
class Clock;
}
namespace kavro::services {
class CriteriaMeter;
class DoseCalculator;
class SessionManager;
} // namespace kavro::services

namespace kavro::core {

// The dose the user chose to be warned by: it drives the bands, the tray icon, the band
// notifications and the time left. The NIOSH daily dose (the default) is the dose
// calculator's own, band, crossings and all, exactly as without a choice; the OSHA PEL
// daily dose and the WHO weekly dose are read from the criteria and announce a new
// band when a measurement moves them into one.
class WarningDose {
public:
    enum class Choice { nioshDaily, oshaPelDaily, whoWeekly };

    // The stored names; anything else (nothing stored included) is the NIOSH daily dose.
    static Choice choiceNamed(const QString& name);
    static QString nameOf(Choice choice);
    // The criterion behind a choice.
    static dsp::criteria::Criterion criterionOf(Choice choice);

    WarningDose(const services::DoseCalculator& dose, const services::CriteriaMeter& criteria,
                const services::SessionManager& sessions, const platform::Clock& clock);

    Choice choice() const { return m_choice; }
    void setChoice(Choice choice);

    // In percent of the chosen allowance.
    double percentage() const;
    models::DoseLevel level() const;
    // The WHO weekly dose in percent, whatever the choice: it is shown beside the others.
    double weeklyPercentage() const;

    // After a measurement: calls onCrossed when the chosen dose (other than the daily
    // dose, which announces itself) entered another band.
    void checkCrossing();
    // The band moved without a measurement (a reset, a restore, another choice): taken
    // as it is, silently.
    void settle();

    std::function<void(models::DoseLevel)> onCrossed;

private:
    const services::DoseCalculator& m_dose;
    const services::CriteriaMeter& m_criteria;
    const services::SessionManager& m_sessions;
    const platform::Clock& m_clock;
    Choice m_choice = Choice::nioshDaily;
    models::DoseLevel m_previous = models::DoseLevel::safe;
};

} // namespace kavro::core
