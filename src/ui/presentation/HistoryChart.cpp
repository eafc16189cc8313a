// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistoryChart.h"

#include "models/NumberText.h"
#include "services/HistoryRangeStatistics.h"
#include "ui/presentation/CountText.h"

#include <algorithm>

namespace kavro::ui {

namespace {

// Below this a hovered day reads as having no data.
constexpr double kVisibleDose = 0.1;

} // namespace

QString HistoryChart::Header::text() const {
    QString text = dayText;
    if (!doseText.isEmpty()) {
        text += QStringLiteral("  ·  ") + doseText;
    }
    if (!sessionText.isEmpty()) {
        text += QStringLiteral("  ·  ") + sessionText;
    }
    return text;
}

HistoryChart::HistoryChart(const services::HistoryRangeStatistics& statistics, const QLocale& locale)
    : m_locale(locale), m_longRange(statistics.rangeDays() >= kLongRangeDays) {
    const QDate first =
        m_longRange ? statistics.rangeEnd().addDays(-(kLongRangeChartDays - 1)) : statistics.rangeStart();
    const int count = m_longRange ? kLongRangeChartDays : statistics.rangeDays();
    // Bars are scaled to the highest dose shown, but never to less than 1 %, so that a
    // range of tiny doses does not look like a range of full days.
    double scale = 1;
    for (int i = 0; i < count; ++i) {
        const QDate day = first.addDays(i);
        const QString label = day == statistics.today()
                                  ? QStringLiteral("·")
                                  : m_locale.toString(day, QStringLiteral("ddd")).left(2);
        const double dose = statistics.dose(day);
        m_days.append(Day{day, label, dose, statistics.sessionCount(day), 0, doseColour(dose)});
        scale = std::max(scale, dose);
    }
    for (Day& day : m_days) {
        day.barHeight = std::max(kMaxBarHeight * std::min(day.dose, scale) / scale, kMinBarHeight);
    }
}

HistoryChart::Header HistoryChart::header(std::optional<QDate> hoveredDay) const {
    if (hoveredDay) {
        for (const Day& day : m_days) {
            if (day.day != *hoveredDay) {
                continue;
            }
            Header header;
            header.dayText = m_locale.toString(day.day, QStringLiteral("ddd d MMM"));
            header.doseText = day.dose < kVisibleDose ? QStringLiteral("No data")
                                                      : models::fixedText(day.dose, 1) + QLatin1Char('%');
            header.doseColour = chartHeaderDoseColour(day.dose);
            if (day.sessionCount >= 1) {
                header.sessionText = countText(day.sessionCount, "session");
            }
            return header;
        }
    }
    Header header;
    header.dayText = m_longRange ? QStringLiteral("Last 7 days") : QStringLiteral("Selected range");
    return header;
}

} // namespace kavro::ui
