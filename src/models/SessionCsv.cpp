// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/SessionCsv.h"

#include "models/CalibrationRecord.h"
#include "models/CriteriaText.h"
#include "models/DayBoundary.h"
#include "models/NumberText.h"

#include <algorithm>

namespace kavro::models::csv {

namespace {

QString positiveLevel(double value) {
    return value > 0 ? fixedText(value, 1) : QString();
}

QString row(const Session& session, const Options& options) {
    const QTimeZone& zone = options.zone;
    const QDateTime start = session.startDate.toTimeZone(zone);
    const QString end =
        session.endDate ? session.endDate->toTimeZone(zone).toString(QStringLiteral("HH:mm:ss")) : QString();
    // The day the session belongs to; its start and end times stay the real ones.
    const QDate day = userDayOf(session.startDate, zone, options.dayStartMinutes);
    QStringList fields{day.toString(QStringLiteral("yyyy-MM-dd")),
                       dawField(session.dawName),
                       start.toString(QStringLiteral("HH:mm:ss")),
                       end,
                       fixedText(session.durationSeconds(options.now) / 60.0, 1),
                       positiveLevel(session.averageSPL),
                       positiveLevel(session.peakSPL),
                       positiveLevel(session.peakDBC),
                       QString::number(session.peakCount135),
                       QString::number(session.peakCount140),
                       QString::number(session.peakDBACount115),
                       fixedText(session.doseAccumulated, 2)};
    // A device or profile name may hold a comma: quoted like the workstation's.
    for (const ExtraColumn& column : options.extraColumns) {
        fields.append(dawField(column.value(session)));
    }
    return fields.join(QLatin1Char(','));
}

} // namespace

QList<ExtraColumn> extendedColumns() {
    QList<ExtraColumn> columns = criteriaText::csvColumns();
    const QStringList calibrationNames = CalibrationRecord::columnNames();
    for (qsizetype index = 0; index < calibrationNames.size(); ++index) {
        columns.append({calibrationNames[index], [index](const Session& session) {
                            return CalibrationRecord::columns(session.calibration).value(index);
                        }});
    }
    columns.append({QStringLiteral("Source"), [](const Session& session) {
                        if (!session.output) {
                            return QStringLiteral("Microphone");
                        }
                        return QStringLiteral("Output · ") + session.output->profile +
                               (session.output->estimated ? QStringLiteral(" (estimated)") : QString());
                    }});
    return columns;
}

QString dawField(const QString& name) {
    const bool needsQuotes = name.contains(QLatin1Char(',')) || name.contains(QLatin1Char('"')) ||
                             name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r'));
    if (!needsQuotes) {
        return name;
    }
    QString escaped = name;
    escaped.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString csvString(const QList<Session>& sessions, const QTimeZone& zone, const QDateTime& now) {
    return csvString(sessions, Options{zone, now, 0, {}});
}

QString csvString(const QList<Session>& sessions, const Options& options) {
    QList<const Session*> completed;
    for (const Session& session : sessions) {
        if (session.isCompleted()) {
            completed.append(&session);
        }
    }
    std::stable_sort(completed.begin(), completed.end(),
                     [](const Session* a, const Session* b) { return a->startDate < b->startDate; });
    QString header = QString::fromUtf8(kHeader);
    for (const ExtraColumn& column : options.extraColumns) {
        header += QLatin1Char(',') + column.header;
    }
    QStringList lines{header};
    lines.reserve(completed.size() + 1);
    for (const Session* session : completed) {
        lines.append(row(*session, options));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace kavro::models::csv
