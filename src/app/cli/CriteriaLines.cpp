// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CriteriaLines.h"

#include "models/CriteriaText.h"

#include <QJsonValue>

namespace kavro::cli {

namespace text = models::criteriaText;

namespace {

constexpr int kTitleWidth = 27;
constexpr int kValueWidth = 12;

QJsonValue jsonValue(std::optional<double> value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

} // namespace

void printCriteria(QTextStream& out, const QList<dsp::criteria::Figure>& figures) {
    out << "Criteria (projection and time left at the final level):\n";
    for (const dsp::criteria::Figure& figure : figures) {
        out << "  " << text::title(figure.criterion).leftJustified(kTitleWidth)
            << text::doseText(figure.criterion, figure.dose).rightJustified(kValueWidth);
        if (figure.projectedDose) {
            out << "   projected " << text::doseText(figure.criterion, *figure.projectedDose);
        }
        out << "   time left " << text::hoursText(figure.hoursLeft) << '\n';
    }
}

QJsonObject criteriaJson(const QList<dsp::criteria::Figure>& figures) {
    QJsonObject object;
    for (const dsp::criteria::Figure& figure : figures) {
        QJsonObject entry{{"value", jsonValue(text::statedValue(figure.criterion, figure.dose))},
                          {"hoursLeft", jsonValue(figure.hoursLeft)}};
        entry.insert("projected", figure.projectedDose
                                      ? jsonValue(text::statedValue(figure.criterion, *figure.projectedDose))
                                      : QJsonValue(QJsonValue::Null));
        object.insert(text::key(figure.criterion), entry);
    }
    return object;
}

} // namespace kavro::cli
