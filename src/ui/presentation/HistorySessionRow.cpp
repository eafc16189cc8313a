// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/presentation/HistorySessionRow.h"

#include "dsp/ExposureLimits.h"
#include "models/NumberText.h"
#include "models/Session.h"
#include "platform/Clock.h"
#include "ui/presentation/HistoryDates.h"

namespace kavro::ui {

using models::fixedText;

namespace {

QString shortTime(const QDateTime& moment, const platform::Clock& clock, const QLocale& locale) {
    return locale.toString(moment.toTimeZone(clock.timeZone()).time(), HistoryDates::shortTimeFormat(locale));
}

// "×3 ≥135 dBC": how many peaks reached one of the limits.
void addBadge(QList<HistorySessionRow::Badge>& badges, std::int64_t count, const char* symbol, double limit,
              const char* unit, HistoryColour colour) {
    if (count >= 1) {
        badges.append({QLatin1String(symbol),
                       QStringLiteral("×%1 ≥").arg(count) + fixedText(limit, 0) + QLatin1String(unit),
                       colour});
    }
}

} // namespace

HistorySessionRow HistorySessionRow::of(const models::Session& session, double cumulativeDayDose,
                                        const platform::Clock& clock, const QLocale& locale) {
    HistorySessionRow row;
    row.id = session.id;
    row.workstation = session.dawName;
    row.timeRange = shortTime(session.startDate, clock, locale) + QStringLiteral(" – ") +
                    (session.endDate ? shortTime(*session.endDate, clock, locale) : QStringLiteral("now"));
    row.duration = session.durationFormatted(clock.now());
    row.source = session.output
                     ? QStringLiteral("Measured from the output: ") + session.output->profile +
                           (session.output->estimated ? QStringLiteral(", estimated level") : QString())
                     : QStringLiteral("Measured from the microphone");
    row.calibration =
        QStringLiteral("Calibration: ") +
        (session.calibration ? session.calibration->describe() : models::kUnknownCalibrationText);
    addBadge(row.badges, session.peakCount140, "bolt.fill", dsp::eu::kPeakLimitDbc, " dBC",
             HistoryColour::red);
    addBadge(row.badges, session.peakCount135, "bolt", dsp::eu::kPeakLowerActionDbc, " dBC",
             HistoryColour::orange);
    addBadge(row.badges, session.peakDBACount115, "exclamationmark.triangle.fill",
             dsp::eu::kInstantaneousPeakDba, " dBA", HistoryColour::red);
    row.dayDose = fixedText(cumulativeDayDose, 1) + QStringLiteral("% day");
    row.dayDoseColour = doseColour(cumulativeDayDose);
    row.sessionDose = QLatin1Char('+') + fixedText(session.doseAccumulated, 1) + QStringLiteral("% session");
    row.average = QStringLiteral("Avg ") + fixedText(session.averageSPL, 0) + QStringLiteral(" dBA");
    row.peak = QStringLiteral("Pk ") + fixedText(session.peakSPL, 0) + QStringLiteral(" dBA");
    if (session.peakDBC > 0) {
        row.peakDBC = QStringLiteral("Pk ") + fixedText(session.peakDBC, 0) + QStringLiteral(" dBC");
        row.peakDBCColour = ui::peakDBCColour(session.peakDBC);
    }
    return row;
}

QString HistorySessionRow::spokenText() const {
    QStringList parts{workstation, timeRange, duration};
    for (const Badge& badge : badges) {
        parts << badge.text;
    }
    parts << dayDose << sessionDose << average << peak;
    if (peakDBC) {
        parts << *peakDBC;
    }
    parts << source;
    return parts.join(QStringLiteral(", "));
}

} // namespace kavro::ui
