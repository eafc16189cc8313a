#include "services/HistoryRangeStatistics.h"

#include "dsp/DoseMath.h"
#include "dsp/ExposureLimits.h"
#include "models/DoseLevel.h"
#include "models/NumberText.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace kavro::services {

using models::Session;

namespace {

namespace eu = dsp::eu;

// Below this a hovered day reads as having no data.
constexpr double kVisibleDose = 0.1;

QString plural(qsizetype count, const char* noun) {
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(noun)).arg(count == 1 ? "" : "s");
}

} // namespace

QString HistoryRangeStatistics::ChartHeader::text() const {
    QString text = dayText;
    if (!doseText.isEmpty()) {
        text += QStringLiteral("  ·  ") + doseText;
    }
    if (!sessionText.isEmpty()) {
        text += QStringLiteral("  ·  ") + sessionText;
    }
    return text;
}

HistoryRangeStatistics::HistoryRangeStatistics(const QList<Session>& history, double liveDosePercentage,
                                               const platform::Clock& clock, QDate rangeStart, QDate rangeEnd,
                                               const QLocale& locale)
    : m_clock(clock), m_locale(locale), m_today(clock.today()), m_liveDose(liveDosePercentage),
      m_rangeStart(rangeStart), m_rangeEnd(rangeEnd),
      m_rangeDays(std::max(1, static_cast<int>(rangeStart.daysTo(rangeEnd)) + 1)) {
    for (const Session& session : history) {
        if (!session.isCompleted()) {
            continue;
        }
        const QDate day = m_clock.dayOf(session.startDate);
        DayTotals& totals = m_days[day];
        totals.dose += session.doseAccumulated;
        ++totals.sessionCount;
        if (isInRange(day)) {
            m_rangeSessions.append(session);
            m_rangeSessionDays.append(day);
        }
    }
    computeTotals();
    computeGroups();
    computeChart();
}

double HistoryRangeStatistics::dose(QDate day) const {
    if (day == m_today) {
        return m_liveDose;
    }
    return m_days.value(day).dose;
}

int HistoryRangeStatistics::sessionCount(QDate day) const {
    return m_days.value(day).sessionCount;
}

void HistoryRangeStatistics::computeTotals() {
    double energy = 0;
    for (int i = 0; i < m_rangeDays; ++i) {
        const double dayDose = dose(m_rangeStart.addDays(i));
        m_totalDose += dayDose;
        if (dayDose > 0) {
            const double dayLevel = dsp::dose::equivalentLevelDb(dayDose / 100.0);
            energy += std::pow(10.0, dayLevel / 10.0);
        }
    }
    if (m_rangeDays >= kWorkingWeekDays && energy > 0) {
        m_euWeeklyLevel = 10.0 * std::log10(energy / kWorkingWeekDays);
    }

    double peakSPL = 0;
    double peakDBC = 0;
    for (const Session& session : m_rangeSessions) {
        peakSPL = std::max(peakSPL, session.peakSPL);
        peakDBC = std::max(peakDBC, session.peakDBC);
        m_impulseTotal += session.peakCount135;
    }
    if (peakSPL > 0) {
        m_rangePeakSPL = peakSPL;
    }
    if (peakDBC > 0) {
        m_rangePeakDBC = peakDBC;
    }
}

double HistoryRangeStatistics::cumulativeFraction() const {
    const double budget = m_rangeDays * 100.0;
    return budget > 0 ? std::min(budget, m_totalDose) / budget : 0.0;
}

void HistoryRangeStatistics::computeGroups() {
    // Groups appear in the order of their first session in the (newest first) history,
    // then are ordered by that session's start, newest day first.
    QHash<QDate, qsizetype> groupOfDay;
    QList<QDateTime> firstStarts;
    for (qsizetype i = 0; i < m_rangeSessions.size(); ++i) {
        const QDate day = m_rangeSessionDays[i];
        auto found = groupOfDay.constFind(day);
        if (found == groupOfDay.constEnd()) {
            found = groupOfDay.insert(day, m_groups.size());
            m_groups.append(DayGroup{day, m_locale.toString(day, QStringLiteral("MMM d, yyyy")), {}, {}, 0});
            firstStarts.append(m_rangeSessions[i].startDate);
        }
        m_groups[*found].sessions.append(m_rangeSessions[i]);
    }
    QList<qsizetype> order(m_groups.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return firstStarts[a] > firstStarts[b]; });
    QList<DayGroup> ordered;
    ordered.reserve(m_groups.size());
    for (qsizetype index : order) {
        DayGroup group = std::move(m_groups[index]);
        std::stable_sort(group.sessions.begin(), group.sessions.end(),
                         [](const Session& a, const Session& b) { return a.startDate < b.startDate; });
        for (const Session& session : group.sessions) {
            group.totalDose += session.doseAccumulated;
            group.cumulativeDose.append(group.totalDose);
            m_cumulativeDayDose.insert(session.id, group.totalDose);
        }
        ordered.append(std::move(group));
    }
    m_groups = std::move(ordered);
}

void HistoryRangeStatistics::computeChart() {
    const bool longRange = m_rangeDays >= kLongRangeDays;
    const QDate first = longRange ? m_rangeEnd.addDays(-(kChartDayCount - 1)) : m_rangeStart;
    const int count = longRange ? kChartDayCount : m_rangeDays;
    double scale = 1;
    for (int i = 0; i < count; ++i) {
        const QDate day = first.addDays(i);
        const QString label =
            day == m_today ? QStringLiteral("·") : m_locale.toString(day, QStringLiteral("ddd")).left(2);
        const double dayDose = dose(day);
        m_chartDays.append(ChartDay{day, label, dayDose, 0, doseColour(dayDose)});
        scale = std::max(scale, dayDose);
    }
    for (ChartDay& chartDay : m_chartDays) {
        chartDay.barHeight =
            std::max(kChartMaxBarHeight * std::min(chartDay.dose, scale) / scale, kChartMinBarHeight);
    }
}

HistoryRangeStatistics::ChartHeader
HistoryRangeStatistics::chartHeader(std::optional<QDate> hoveredDay) const {
    if (hoveredDay) {
        for (const ChartDay& chartDay : m_chartDays) {
            if (chartDay.day != *hoveredDay) {
                continue;
            }
            ChartHeader header;
            header.dayText = m_locale.toString(chartDay.day, QStringLiteral("ddd d MMM"));
            header.doseText = chartDay.dose < kVisibleDose
                                  ? QStringLiteral("No data")
                                  : models::fixedText(chartDay.dose, 1) + QLatin1Char('%');
            header.doseColour = chartHeaderDoseColour(chartDay.dose);
            if (const int count = sessionCount(chartDay.day); count >= 1) {
                header.sessionText = plural(count, "session");
            }
            return header;
        }
    }
    ChartHeader header;
    header.dayText =
        m_rangeDays >= kLongRangeDays ? QStringLiteral("Last 7 days") : QStringLiteral("Selected range");
    return header;
}

HistoryRangeStatistics::CalendarCell
HistoryRangeStatistics::calendarCell(QDate day, std::optional<QDate> selectionAnchor) const {
    CalendarCell cell;
    cell.date = day;
    cell.dose = dose(day);
    cell.isInRange = isInRange(day);
    cell.isRangeStart = day == m_rangeStart;
    cell.isRangeEnd = day == m_rangeEnd;
    cell.isMultiDayRange = m_rangeStart != m_rangeEnd;
    cell.isToday = day == m_today;
    cell.isFuture = day > m_today;
    cell.isAnchor = selectionAnchor && *selectionAnchor == day;
    cell.colour = cell.isFuture || cell.dose <= 0 ? HistoryColour::clear : doseColour(cell.dose);
    return cell;
}

HistoryColour HistoryRangeStatistics::doseColour(double percent) {
    switch (models::doseLevelForPercentage(percent)) {
    case models::DoseLevel::safe:
        return HistoryColour::green;
    case models::DoseLevel::caution:
        return HistoryColour::yellow;
    case models::DoseLevel::warning:
        return HistoryColour::orange;
    case models::DoseLevel::danger:
        return HistoryColour::red;
    }
    return HistoryColour::red;
}

HistoryColour HistoryRangeStatistics::euWeeklyColour(std::optional<double> level) {
    if (!level) {
        return HistoryColour::secondaryHalfOpacity;
    }
    if (*level >= eu::kUpperActionLevelDb) {
        return HistoryColour::red;
    }
    return *level >= eu::kLowerActionLevelDb ? HistoryColour::orange : HistoryColour::green;
}

HistoryColour HistoryRangeStatistics::peakDBCColour(std::optional<double> peak) {
    if (!peak) {
        return HistoryColour::secondaryHalfOpacity;
    }
    if (*peak >= eu::kPeakLimitDbc) {
        return HistoryColour::red;
    }
    return *peak >= eu::kPeakLowerActionDbc ? HistoryColour::orange : HistoryColour::secondary;
}

HistoryColour HistoryRangeStatistics::impulseColour(std::int64_t total) {
    return total > 0 ? HistoryColour::orange : HistoryColour::secondaryHalfOpacity;
}

HistoryColour HistoryRangeStatistics::chartHeaderDoseColour(double percent) {
    return percent <= 0 ? HistoryColour::secondary : doseColour(percent);
}

} // namespace kavro::services
