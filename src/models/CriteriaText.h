// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ExposureCriteria.h"
#include "models/SessionCsv.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace kavro::models {

// The exposure criteria in words, the same on the panel, in the History window, on the
// command line and in the export.
namespace criteriaText {

// "NIOSH REL", "OSHA PEL", ...
QString title(dsp::criteria::Criterion criterion);
// The stable name of the table ("oshaPel"), for preferences, JSON and CSV.
QString key(dsp::criteria::Criterion criterion);
// A dose as the criterion states it: a percentage, or for the EU criterion L_EX,8h in
// dB(A) ("—" without exposure).
QString doseText(dsp::criteria::Criterion criterion, double dose);
// The EU figure as a number of dB(A), or none without exposure; a percentage otherwise.
std::optional<double> statedValue(dsp::criteria::Criterion criterion, double dose);
// "3h 20m", "—" when the level does not count.
QString hoursText(std::optional<double> hours);

// The criteria the user picked to see, from their stored JSON array of names; unknown
// names are skipped.
QList<dsp::criteria::Criterion> parseList(const QByteArray& json);
QByteArray listJson(const QList<dsp::criteria::Criterion>& list);

// The columns of the export with criteria, after the standard ones: each session's
// OSHA doses, its A-weighted sound exposure and its share of the WHO weekly allowance.
// A later figure is one more entry of the table behind it.
QList<csv::ExtraColumn> csvColumns();

} // namespace criteriaText
} // namespace kavro::models
