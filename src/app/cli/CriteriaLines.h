// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "dsp/ExposureCriteria.h"

#include <QJsonObject>
#include <QList>
#include <QTextStream>

namespace kavro::cli {

// Every exposure criterion as the commands print it: one line each in the text report,
// one object each (keyed by the criterion's name) in the JSON report.
void printCriteria(QTextStream& out, const QList<dsp::criteria::Figure>& figures);
QJsonObject criteriaJson(const QList<dsp::criteria::Figure>& figures);

} // namespace kavro::cli
