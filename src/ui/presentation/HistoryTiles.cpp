// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryTiles.h"

#include "dsp/ExposureLimits.h"
#include "models/CriteriaText.h"
#include "models/DoseLevel.h"
#include "models/NumberText.h"
#include "services/HistoryRangeStatistics.h"

namespace kavro::ui {

using models::fixedText;

namespace {

const QString kNoValue = QStringLiteral("—");

namespace eu = dsp::eu;
using models::DoseLevel;
using models::rangeText;

// A limit as the explanations quote it: "85 dBA".
QString whole(double value, const char* unitAndWords) {
    return fixedText(value, 0) + QString::fromUtf8(unitAndWords);
}

QString percent(double value) {
    return fixedText(value, 1) + QLatin1Char('%');
}

// A peak rounded to whole decibels, or the dash without one.
QString wholeDecibels(const std::optional<double>& value, const char* unit) {
    return value ? fixedText(*value, 0) + QLatin1String(unit) : kNoValue;
}

StatisticTile totalDose(const services::HistoryRangeStatistics& statistics) {
    return {QStringLiteral("Total dose"),
            percent(statistics.totalDose()),
            HistoryColour::secondary,
            {QStringLiteral("Total dose"),
             QStringLiteral("Sum of all daily doses across the selected range. This number grows with every "
                            "extra day — 7 days × 33%/day = 231% — so a high total is expected and not "
                            "alarming on its own. Use Avg per day to judge whether your typical exposure "
                            "level is safe."),
             {}}};
}

StatisticTile averagePerDay(const services::HistoryRangeStatistics& statistics) {
    const double average = statistics.averageDosePerDay();
    return {
        QStringLiteral("Avg per day"),
        percent(average),
        doseColour(average),
        {QStringLiteral("Avg per day"),
         QStringLiteral("Total dose divided by the number of selected days. This is the primary risk "
                        "indicator — compare it to the 100% daily budget (%1 at %2, NIOSH REL). "
                        "Colored by dose level:")
             .arg(whole(dsp::niosh::kCriterionHours, " hours"), whole(dsp::niosh::kCriterionLevelDb, " dBA")),
         {{HistoryColour::green, rangeText(DoseLevel::safe) + QStringLiteral(" — Safe")},
          {HistoryColour::yellow, rangeText(DoseLevel::caution) + QStringLiteral(" — Caution")},
          {HistoryColour::orange, rangeText(DoseLevel::warning) + QStringLiteral(" — Warning")},
          {HistoryColour::red, rangeText(DoseLevel::danger) + QStringLiteral(" — Danger")}}}};
}

// The EU weekly value, or why there is none: too few days, or days without any dose
// (asking for five days when seven are selected would contradict the selection).
QString euWeeklyValue(const services::HistoryRangeStatistics& statistics) {
    if (const std::optional<double> level = statistics.euWeeklyLevel()) {
        return fixedText(*level, 1) + QStringLiteral(" dBA");
    }
    if (statistics.rangeDays() >= services::HistoryRangeStatistics::kWorkingWeekDays) {
        return QStringLiteral("No dose in range");
    }
    return QStringLiteral("≥5 days needed");
}

StatisticTile euWeekly(const services::HistoryRangeStatistics& statistics) {
    const std::optional<double> level = statistics.euWeeklyLevel();
    return {
        level ? QStringLiteral("EU weekly (L𝒈,w)") : QStringLiteral("EU weekly"),
        euWeeklyValue(statistics),
        euWeeklyColour(level),
        {QStringLiteral("EU weekly level (L𝒈,w)"),
         QStringLiteral("Equivalent continuous A-weighted level averaged over a 5-day working week (ISO "
                        "9612 / EU 2003/10/EC). All selected days are energy-summed then normalised to 5, "
                        "so the value stays comparable to the %1 daily limit regardless of how many "
                        "days you select. Requires at least 5 days.")
             .arg(whole(dsp::niosh::kCriterionLevelDb, " dBA")),
         {{HistoryColour::green,
           QStringLiteral("< ") + whole(eu::kLowerActionLevelDb, " dBA — safe, no action required")},
          {HistoryColour::orange,
           fixedText(eu::kLowerActionLevelDb, 0) + QStringLiteral("–") +
               whole(eu::kUpperActionLevelDb - 1, " dBA — lower action value: provide hearing protection")},
          {HistoryColour::red,
           QStringLiteral("≥ ") + whole(eu::kUpperActionLevelDb,
                                        " dBA — upper action value: wearing protection is mandatory")}}}};
}

StatisticTile peakDBA(const services::HistoryRangeStatistics& statistics) {
    return {
        QStringLiteral("Peak dBA"),
        wholeDecibels(statistics.rangePeakSPL(), " dBA"),
        HistoryColour::secondary,
        {QStringLiteral("Peak dBA"),
         QStringLiteral("Highest instantaneous A-weighted sound level recorded during any session in the "
                        "range. A-weighting reflects human hearing sensitivity. Values above %1 are an "
                        "EU regulatory limit under Directive 2003/10/EC — even a single momentary peak at "
                        "that level is a violation.")
             .arg(whole(eu::kInstantaneousPeakDba, " dBA")),
         {{HistoryColour::green,
           QStringLiteral("< ") + whole(eu::kInstantaneousPeakDba, " dBA — within limits")},
          {HistoryColour::red,
           QStringLiteral("≥ ") +
               whole(eu::kInstantaneousPeakDba, " dBA — EU instantaneous peak limit exceeded")}}}};
}

StatisticTile peakDBC(const services::HistoryRangeStatistics& statistics) {
    return {
        QStringLiteral("Peak dBC"),
        wholeDecibels(statistics.rangePeakDBC(), " dBC"),
        peakDBCColour(statistics.rangePeakDBC()),
        {QStringLiteral("Peak dBC"),
         QStringLiteral("Highest C-weighted peak across all sessions in the range. C-weighting is nearly "
                        "flat from 31 Hz to 8 kHz, capturing the full physical energy of drum hits, "
                        "transients, and low-frequency impulses that A-weighting underreports. EU "
                        "2003/10/EC mandates C-weighted peak (LCpeak) monitoring alongside dose."),
         {{HistoryColour::green, QStringLiteral("< ") + whole(eu::kPeakLowerActionDbc, " dBC — safe")},
          {HistoryColour::orange,
           QStringLiteral("≥ ") +
               whole(eu::kPeakLowerActionDbc, " dBC — action value: hearing protection must be available")},
          {HistoryColour::red,
           QStringLiteral("≥ ") + whole(eu::kPeakLimitDbc, " dBC — limit value: must not be exceeded")}}}};
}

StatisticTile impulses(const services::HistoryRangeStatistics& statistics) {
    const std::int64_t total = statistics.impulseTotal();
    const QString label = QStringLiteral("Impulses ≥") + whole(eu::kPeakLowerActionDbc, " dBC");
    return {label,
            total < 1 ? QStringLiteral("None") : QStringLiteral("×%1").arg(total),
            impulseColour(total),
            {label,
             QStringLiteral("Total count of measurement intervals across all sessions in the range where a "
                            "C-weighted peak of %1 or more was detected. Under EU Directive 2003/10/EC, "
                            "recurring peaks at this level require hearing protection to be provided. "
                            "Identify the source — a hot kick, snare, or transient — and use a fast limiter "
                            "or reduce monitor level.")
                 .arg(whole(eu::kPeakLowerActionDbc, " dBC")),
             {}}};
}

} // namespace

QString StatisticTile::spokenText() const {
    return label + QStringLiteral(": ") + (value == kNoValue ? QStringLiteral("no value") : value);
}

std::array<StatisticTile, HistoryTiles::kCount>
HistoryTiles::of(const services::HistoryRangeStatistics& statistics) {
    return {totalDose(statistics), averagePerDay(statistics), euWeekly(statistics),
            peakDBA(statistics),   peakDBC(statistics),       impulses(statistics)};
}

StatisticTile HistoryTiles::weeklyDose(double percentage) {
    return {QStringLiteral("Weekly dose"),
            percent(percentage),
            doseColour(percentage),
            {QStringLiteral("Weekly dose (WHO / ITU-T H.870)"),
             QStringLiteral("The sound energy of the last 7 days, today included, against the weekly "
                            "allowance of 1.6 Pa²h — 80 dBA for 40 hours. It does not depend on the range "
                            "selected. Colored by dose level:"),
             {}}};
}

QString HistoryTiles::rangeCriteriaText(const dsp::criteria::CriteriaDoses& sum, int rangeDays) {
    namespace text = models::criteriaText;
    using dsp::criteria::Criterion;
    QStringList parts;
    for (const Criterion criterion : {Criterion::oshaPel, Criterion::oshaHearingConservation}) {
        parts << text::title(criterion) + QLatin1Char(' ') + text::doseText(criterion, sum.dose(criterion));
    }
    const double averageDay = sum.dose(Criterion::euDailyExposure) / std::max(1, rangeDays);
    parts << text::title(Criterion::euDailyExposure) + QLatin1Char(' ') +
                 text::doseText(Criterion::euDailyExposure, averageDay) + QStringLiteral(" a day");
    return parts.join(QStringLiteral(" · "));
}

QString HistoryTiles::cumulativeText(const services::HistoryRangeStatistics& statistics) {
    return fixedText(statistics.totalDose(), 1) + QStringLiteral("%  of ") +
           QString::number(statistics.rangeDays()) + QStringLiteral("×100%");
}

} // namespace kavro::ui
