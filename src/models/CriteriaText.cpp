// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/CriteriaText.h"

#include "models/NumberText.h"
#include "models/Session.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <array>
#include <cmath>

namespace kavro::models::criteriaText {

namespace criteria = dsp::criteria;
using criteria::Criterion;

namespace {

const std::array<const char*, criteria::kCriterionCount> kTitles{
    "NIOSH REL", "OSHA PEL", "OSHA hearing conservation", "EU L_EX,8h", "WHO weekly",
};

constexpr double kSecondsPerHour = 3600.0;
const QString kAbsent = QStringLiteral("—");

} // namespace

QString title(Criterion criterion) {
    return QString::fromUtf8(kTitles[static_cast<std::size_t>(criterion)]);
}

QString key(Criterion criterion) {
    const std::string_view name = criteria::parameters(criterion).key;
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

std::optional<double> statedValue(Criterion criterion, double dose) {
    if (criterion == Criterion::euDailyExposure) {
        return criteria::exposureLevelDb(dose);
    }
    return dose * 100.0;
}

QString doseText(Criterion criterion, double dose) {
    const std::optional<double> value = statedValue(criterion, dose);
    if (!value) {
        return kAbsent;
    }
    if (criterion == Criterion::euDailyExposure) {
        return fixedText(*value, 1) + QStringLiteral(" dB(A)");
    }
    return fixedText(*value, 0) + QStringLiteral(" %");
}

QString hoursText(std::optional<double> hours) {
    if (!hours || !std::isfinite(*hours)) {
        return kAbsent;
    }
    return hoursAndMinutesText(static_cast<std::int64_t>(*hours * kSecondsPerHour));
}

QList<csv::ExtraColumn> csvColumns() {
    const auto percent = [](double value) { return fixedText(value, 2); };
    return {
        {QStringLiteral("OSHA PEL %"), [percent](const Session& s) { return percent(s.oshaPelDose); }},
        {QStringLiteral("OSHA HC %"),
         [percent](const Session& s) { return percent(s.oshaHearingConservationDose); }},
        {QStringLiteral("Sound exposure Pa²h"),
         [](const Session& s) { return fixedText(s.soundExposureOrEstimate(), 4); }},
        {QStringLiteral("WHO weekly %"),
         [percent](const Session& s) {
             return percent(criteria::doseOfSoundExposure(Criterion::whoWeekly, s.soundExposureOrEstimate()) *
                            100.0);
         }},
    };
}

QList<Criterion> parseList(const QByteArray& json) {
    QList<Criterion> list;
    const QJsonArray names = QJsonDocument::fromJson(json).array();
    for (const auto& value : names) {
        const QByteArray name = value.toString().toLatin1();
        const auto criterion = criteria::criterionNamed(
            std::string_view(name.constData(), static_cast<std::size_t>(name.size())));
        if (criterion && !list.contains(*criterion)) {
            list.append(*criterion);
        }
    }
    return list;
}

QByteArray listJson(const QList<Criterion>& list) {
    QJsonArray array;
    for (const Criterion criterion : list) {
        array.append(key(criterion));
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

} // namespace kavro::models::criteriaText
