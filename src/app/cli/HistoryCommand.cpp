// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HistoryCommand.h"

#include "dsp/ExposureLimits.h"
#include "models/CriteriaText.h"
#include "models/NumberText.h"
#include "models/SessionCsv.h"
#include "platform/Settings.h"
#include "platform/file/DataFolder.h"
#include "platform/file/QtFileStore.h"
#include "platform/qt/SettingsPreferencesStore.h"
#include "platform/qt/SystemClock.h"
#include "services/CriteriaMeter.h"
#include "services/HistoryFile.h"
#include "services/HistoryRangeStatistics.h"
#include "services/SessionManager.h"
#include "services/WeeklyExposure.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace kavro::cli {

namespace {

using models::Session;

const char* const kHistoryHelp =
    "Usage: kavro-cli history [--file PATH] list [--from DATE] [--to DATE] [--details]\n"
    "       kavro-cli history [--file PATH] stats --from DATE --to DATE [--json]\n"
    "       kavro-cli history [--file PATH] export --from DATE --to DATE [--criteria] OUT.csv\n"
    "       kavro-cli history [--file PATH] week [--json]\n"
    "\n"
    "Reads Kavro's session history (by default the file the application keeps) without\n"
    "changing it. Dates are yyyy-MM-dd in the local time zone; a session belongs to the day\n"
    "on which it started, with days that start when the application's \"My day starts at\"\n"
    "says.\n"
    "\n"
    "  list     one line per completed session, oldest first\n"
    "  stats    the statistics of the history window for the range: days, sessions, total\n"
    "           and average dose, EU weekly level, peaks and impulses; today counts the\n"
    "           day's dose the application has stored, or else today's completed sessions\n"
    "  export   the range's completed sessions as CSV, as the history window exports them\n"
    "  week     the WHO / ITU-T H.870 weekly sound dose: the A-weighted sound exposure of\n"
    "           the last 7 days against 1.6 Pa²h (80 dBA for 40 hours), day by day\n"
    "\n"
    "  --file PATH   the history file to read\n"
    "  --from DATE   first day of the range\n"
    "  --to DATE     last day of the range\n"
    "  --details     (list) under each session, the calibration it was measured with\n"
    "  --json        (stats) one JSON object with the keys rangeDays, sessionCount,\n"
    "                totalDose, averageDosePerDay, euWeeklyLevel, peakSPL, peakDBC,\n"
    "                impulses135; null where there is no value; (week) the keys\n"
    "                weeklyDose (percent), soundExposure (Pa²h) and days\n"
    "  --criteria    (export) also the OSHA doses, the sound exposure and the WHO weekly\n"
    "                share of each session, its calibration and its source\n"
    "  --help        show this text\n";

struct DayRange {
    std::optional<QDate> from;
    std::optional<QDate> to;
};

std::optional<QString> readDate(const ParsedArguments& parsed, const QString& name,
                                std::optional<QDate>& date) {
    if (!parsed.values.contains(name)) {
        return std::nullopt;
    }
    const QString text = parsed.values.value(name);
    const QDate parsedDate = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!parsedDate.isValid()) {
        return QStringLiteral("--%1 needs a date as yyyy-MM-dd, not \"%2\"").arg(name, text);
    }
    date = parsedDate;
    return std::nullopt;
}

std::optional<QString> readRange(const ParsedArguments& parsed, bool required, DayRange& range) {
    if (auto error = readDate(parsed, QStringLiteral("from"), range.from)) {
        return error;
    }
    if (auto error = readDate(parsed, QStringLiteral("to"), range.to)) {
        return error;
    }
    if (required && (!range.from || !range.to)) {
        return QStringLiteral("this command needs --from DATE and --to DATE");
    }
    if (range.from && range.to && *range.from > *range.to) {
        return QStringLiteral("the range is reversed: --from %1 lies after --to %2")
            .arg(range.from->toString(Qt::ISODate), range.to->toString(Qt::ISODate));
    }
    return std::nullopt;
}

// Completed sessions that started within the range, oldest first.
QList<Session> sessionsIn(const QList<Session>& history, const DayRange& range,
                          const platform::Clock& clock) {
    QList<Session> selected;
    for (const Session& session : history) {
        const QDate day = clock.dayOf(session.startDate);
        if (session.isCompleted() && (!range.from || day >= *range.from) && (!range.to || day <= *range.to)) {
            selected.append(session);
        }
    }
    std::stable_sort(selected.begin(), selected.end(),
                     [](const Session& a, const Session& b) { return a.startDate < b.startDate; });
    return selected;
}

QString levelText(double level, const char* unit) {
    return level > 0 ? models::fixedText(level, 1) + QLatin1Char(' ') + QLatin1String(unit)
                     : QStringLiteral("-");
}

void printList(CommandContext& context, const QList<Session>& sessions, const platform::Clock& clock,
               bool details) {
    for (const Session& session : sessions) {
        const QDateTime start = session.startDate.toTimeZone(clock.timeZone());
        const QDateTime end = session.endDate->toTimeZone(clock.timeZone());
        const QStringList fields{
            start.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + QStringLiteral("-") +
                end.toString(QStringLiteral("HH:mm")),
            session.durationFormatted(clock.now()).rightJustified(7),
            (models::fixedText(session.doseAccumulated, 2) + QLatin1Char('%')).rightJustified(8),
            QStringLiteral("avg ") + levelText(session.averageSPL, "dBA").rightJustified(9),
            QStringLiteral("peak ") + levelText(session.peakSPL, "dBA").rightJustified(9),
            levelText(session.peakDBC, "dBC").rightJustified(9),
            QStringLiteral("impulses %1").arg(session.peakCount135),
            session.dawName};
        context.out << fields.join(QStringLiteral("  ")) << '\n';
        if (details) {
            context.out << "    calibration: "
                        << (session.calibration ? session.calibration->describe()
                                                : models::kUnknownCalibrationText)
                        << '\n';
        }
    }
}

// The day's dose the application keeps while running, when it was stored today; else
// what today's completed sessions add up to.
double todaysDose(const QList<Session>& history, const HistoryEnvironment& environment) {
    using platform::Settings;
    const auto storedDate = Settings::storedIn(environment.preferences, platform::keys::doseDate);
    const auto storedDose = Settings::storedIn(environment.preferences, platform::keys::accumulatedDose);
    if (storedDate && storedDose && environment.clock.isToday(*storedDate)) {
        return *storedDose * 100.0;
    }
    return services::completedDoseOnDay(history, environment.clock.today(), environment.clock);
}

QJsonValue optionalNumber(std::optional<double> value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

void printStats(CommandContext& context, const services::HistoryRangeStatistics& stats, bool json) {
    if (json) {
        const QJsonObject object{{"rangeDays", stats.rangeDays()},
                                 {"sessionCount", static_cast<qint64>(stats.rangeSessions().size())},
                                 {"totalDose", stats.totalDose()},
                                 {"averageDosePerDay", stats.averageDosePerDay()},
                                 {"euWeeklyLevel", optionalNumber(stats.euWeeklyLevel())},
                                 {"peakSPL", optionalNumber(stats.rangePeakSPL())},
                                 {"peakDBC", optionalNumber(stats.rangePeakDBC())},
                                 {"impulses135", static_cast<qint64>(stats.impulseTotal())}};
        context.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
        return;
    }
    const auto line = [&](const QString& label, const QString& value) {
        context.out << label.leftJustified(19) << value << '\n';
    };
    const auto optionalLevel = [](std::optional<double> value, const char* unit, const QString& absent) {
        return value ? models::fixedText(*value, 1) + QLatin1Char(' ') + QLatin1String(unit) : absent;
    };
    constexpr int kWeek = services::HistoryRangeStatistics::kWorkingWeekDays;
    line("Range", QStringLiteral("%1 to %2 (%3 day%4)")
                      .arg(stats.rangeStart().toString(Qt::ISODate), stats.rangeEnd().toString(Qt::ISODate))
                      .arg(stats.rangeDays())
                      .arg(stats.rangeDays() == 1 ? "" : "s"));
    line("Sessions", QString::number(stats.rangeSessions().size()));
    line("Total dose", models::fixedText(stats.totalDose(), 1) + QLatin1Char('%'));
    line("Average per day", models::fixedText(stats.averageDosePerDay(), 1) + QLatin1Char('%'));
    line("EU weekly level",
         optionalLevel(stats.euWeeklyLevel(), "dBA",
                       stats.rangeDays() < kWeek ? QStringLiteral("none (needs at least %1 days)").arg(kWeek)
                                                 : QStringLiteral("none (no dose in the range)")));
    line("Peak dBA", optionalLevel(stats.rangePeakSPL(), "dBA", "none"));
    line("Peak dBC", optionalLevel(stats.rangePeakDBC(), "dBC", "none"));
    line(QStringLiteral("Impulses ≥") + models::fixedText(dsp::eu::kPeakLowerActionDbc, 0) +
             QStringLiteral(" dBC"),
         QString::number(stats.impulseTotal()));
}

// What one history command line asks for.
struct HistoryRequest {
    QString action; // list, stats or export
    DayRange range;
    QString path;       // the history file
    QString exportPath; // export: the CSV file to write
    bool json = false;
    bool details = false;
    bool criteria = false;
};

std::optional<QString> checkAction(const ParsedArguments& parsed) {
    const QString action = parsed.positional.value(0);
    if (action != QLatin1String("list") && action != QLatin1String("stats") &&
        action != QLatin1String("export") && action != QLatin1String("week")) {
        return action.isEmpty() ? QStringLiteral("history needs list, stats, export or week (see kavro-cli "
                                                 "history --help)")
                                : QStringLiteral("unknown history command \"%1\"").arg(action);
    }
    const bool isExport = action == QLatin1String("export");
    if (parsed.positional.size() != (isExport ? 2 : 1)) {
        return isExport ? QStringLiteral("export needs exactly one OUT.csv")
                        : QStringLiteral("%1 takes no file arguments").arg(action);
    }
    if (parsed.has("json") && action != QLatin1String("stats") && action != QLatin1String("week")) {
        return QStringLiteral("--json belongs to stats and week");
    }
    if (parsed.has("criteria") && !isExport) {
        return QStringLiteral("--criteria belongs to export");
    }
    if (parsed.has("details") && action != QLatin1String("list")) {
        return QStringLiteral("--details belongs to list");
    }
    return std::nullopt;
}

// Returns the exit code to end with (help shown, or a usage error printed), or none.
std::optional<int> parseHistoryRequest(const QStringList& args, CommandContext& context,
                                       const HistoryEnvironment& environment, HistoryRequest& request) {
    ParsedArguments parsed;
    if (auto error =
            parseArguments(args, {"json", "details", "help", "criteria"}, {"file", "from", "to"}, parsed)) {
        printError(context, *error);
        return kExitUsage;
    }
    if (parsed.has("help")) {
        context.out << kHistoryHelp;
        return kExitOk;
    }
    request.action = parsed.positional.value(0);
    auto error = checkAction(parsed);
    if (!error) {
        const bool needsRange =
            request.action == QLatin1String("stats") || request.action == QLatin1String("export");
        error = readRange(parsed, needsRange, request.range);
    }
    if (!error && request.action == QLatin1String("stats") && *request.range.to > environment.clock.today()) {
        error = QStringLiteral("--to %1 lies after today").arg(request.range.to->toString(Qt::ISODate));
    }
    if (error) {
        printError(context, *error);
        return kExitUsage;
    }
    request.path = parsed.values.value(QStringLiteral("file"), environment.defaultHistoryPath);
    request.exportPath = parsed.positional.value(1);
    request.json = parsed.has("json");
    request.details = parsed.has("details");
    request.criteria = parsed.has("criteria");
    return std::nullopt;
}

// The sessions of the history file; none, with the reason printed, when it cannot be read.
std::optional<QList<Session>> readHistory(const QString& path, const HistoryEnvironment& environment,
                                          CommandContext& context) {
    auto read = services::historyfile::read(environment.files, path);
    if (std::holds_alternative<services::historyfile::NotFound>(read)) {
        printError(context, QStringLiteral("no history file at %1").arg(path));
        return std::nullopt;
    }
    if (auto* error = std::get_if<QString>(&read)) {
        printError(context, QStringLiteral("cannot use the history file %1: %2").arg(path, *error));
        return std::nullopt;
    }
    auto& contents = std::get<services::historyfile::Contents>(read);
    for (const QString& leftOut : contents.leftOut) {
        printError(context, QStringLiteral("%1: %2").arg(path, leftOut));
    }
    return std::move(contents.sessions);
}

int exportSessions(const HistoryRequest& request, const QList<Session>& history,
                   const HistoryEnvironment& environment, CommandContext& context) {
    const platform::Clock& clock = environment.clock;
    const QList<Session> sessions = sessionsIn(history, request.range, clock);
    models::csv::Options options{clock.timeZone(), clock.now(), clock.dayStartMinutes(), {}};
    if (request.criteria) {
        options.extraColumns = models::csv::extendedColumns();
    }
    const QString csv = models::csv::csvString(sessions, options);
    const QString& out = request.exportPath;
    if (auto error =
            environment.files.writeFile(out, csv.toUtf8(), platform::FileStore::Access::userDefault)) {
        printError(context, QStringLiteral("cannot write %1: %2").arg(out, *error));
        return kExitFailure;
    }
    context.out << QStringLiteral("%1 session%2 written to %3\n")
                       .arg(sessions.size())
                       .arg(sessions.size() == 1 ? "" : "s")
                       .arg(out);
    return kExitOk;
}

void printWeek(CommandContext& context, const QList<Session>& history, const HistoryEnvironment& environment,
               bool json) {
    const auto stored = services::CriteriaMeter::storedToday(environment.preferences, environment.clock);
    const double today =
        stored ? dsp::criteria::soundExposureOfDose(dsp::criteria::Criterion::whoWeekly,
                                                    stored->dose(dsp::criteria::Criterion::whoWeekly))
               : 0.0;
    const services::WeeklyExposure week(history, environment.clock, today);
    const auto percentOf = [](double exposure) {
        return dsp::criteria::doseOfSoundExposure(dsp::criteria::Criterion::whoWeekly, exposure) * 100.0;
    };
    if (json) {
        QJsonArray days;
        for (const auto& day : week.days()) {
            days.append(QJsonObject{{"day", day.day.toString(Qt::ISODate)},
                                    {"soundExposure", day.soundExposure},
                                    {"weeklyDose", percentOf(day.soundExposure)}});
        }
        const QJsonObject object{
            {"weeklyDose", week.dose() * 100.0}, {"soundExposure", week.soundExposure()}, {"days", days}};
        context.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
        return;
    }
    context.out << "Weekly sound dose   " << models::fixedText(week.dose() * 100.0, 1) << "% of 1.6 Pa²h ("
                << models::fixedText(week.soundExposure(), 3) << " Pa²h in the last 7 days)\n";
    for (const auto& day : week.days()) {
        context.out
            << "  " << day.day.toString(Qt::ISODate) << "  "
            << models::fixedText(day.soundExposure, 3).rightJustified(8) << " Pa²h  "
            << (models::fixedText(percentOf(day.soundExposure), 1) + QLatin1Char('%')).rightJustified(7)
            << '\n';
    }
}

} // namespace

int runHistory(const QStringList& args, CommandContext& context) {
    platform::SystemClock clock;
    const platform::SettingsPreferencesStore preferences;
    clock.setDayStartMinutes(platform::Settings::valueIn(preferences, platform::keys::dayStartMinutes));
    platform::QtFileStore files;
    return runHistory(
        args, context,
        {clock, preferences, files, services::SessionManager::historyFileIn(platform::defaultDataFolder())});
}

int runHistory(const QStringList& args, CommandContext& context, const HistoryEnvironment& environment) {
    HistoryRequest request;
    if (const auto exit = parseHistoryRequest(args, context, environment, request)) {
        return *exit;
    }
    const auto history = readHistory(request.path, environment, context);
    if (!history) {
        return kExitFailure;
    }
    const platform::Clock& clock = environment.clock;
    int exitCode = kExitOk;
    if (request.action == QLatin1String("list")) {
        printList(context, sessionsIn(*history, request.range, clock), clock, request.details);
    } else if (request.action == QLatin1String("stats")) {
        const services::HistoryRangeStatistics stats(*history, todaysDose(*history, environment), clock,
                                                     *request.range.from, *request.range.to);
        printStats(context, stats, request.json);
    } else if (request.action == QLatin1String("week")) {
        printWeek(context, *history, environment, request.json);
    } else {
        exitCode = exportSessions(request, *history, environment, context);
    }
    context.out.flush();
    return exitCode;
}

} // namespace kavro::cli
