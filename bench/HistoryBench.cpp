// The history on its heaviest day: 30 days of six sessions each (180 sessions, 43,200
// readings in all). Loading and saving happen on the main thread at launch, at the end
// of every session and at midnight; the range statistics run on every redraw of the
// history window.
#include "models/SessionCsv.h"
#include "platform/file/QtFileStore.h"
#include "platform/testing/ManualClock.h"
#include "services/HistoryFile.h"
#include "services/HistoryRangeSelection.h"
#include "services/HistoryRangeStatistics.h"
#include "services/SessionManager.h"
#include "ui/presentation/HistoryCalendar.h"
#include "ui/presentation/HistoryChart.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <benchmark/benchmark.h>

namespace {

using kavro::models::Session;
using kavro::platform::testing::ManualClock;

constexpr int kDays = 30;
constexpr int kSessionsPerDay = 6;
constexpr int kReadingsPerSession = 240; // four hours at one reading a minute

const QTimeZone kBerlin("Europe/Berlin");
const QDateTime kNow(QDate(2025, 4, 10), QTime(23, 0), kBerlin);

// Newest first, as the session manager keeps them; every session within the last 30 days.
QList<Session> heavyHistory() {
    QList<Session> sessions;
    for (int day = 0; day < kDays; ++day) {
        for (int index = kSessionsPerDay - 1; index >= 0; --index) {
            const QDateTime start =
                QDateTime(kNow.date().addDays(-day), QTime(0, 30), kBerlin).addSecs(index * 3 * 3600);
            Session session = Session::create(
                index % 2 ? QStringLiteral("Ableton Live") : QStringLiteral("Pro Tools, HD"), start);
            session.endDate = start.addSecs(kReadingsPerSession * 60);
            session.averageSPL = 80.0 + (day * 7 + index) % 13 * 0.37;
            session.peakSPL = session.averageSPL + 12.25;
            session.doseAccumulated = 3.0 + (day * 11 + index * 5) % 29 * 0.91;
            session.peakDBC = 120.0 + (day + index) % 22;
            session.peakCount135 = (day + index) % 5;
            session.peakCount140 = (day + index) % 2;
            session.peakDBACount115 = index % 3 == 0;
            session.readings.reserve(kReadingsPerSession);
            for (int minute = 0; minute < kReadingsPerSession; ++minute) {
                session.readings.append({start.addSecs(minute * 60 + 60), 78.0 + minute % 17 * 0.73,
                                         minute * 0.0625 + day, 84.0 + minute % 11 * 0.41});
            }
            sessions.append(session);
        }
    }
    return sessions;
}

// The history on disk, through the same file store the application uses.
struct HistoryFixture {
    HistoryFixture() : clock(kNow, kBerlin), history(heavyHistory()) {
        files.createFolder(folder());
        kavro::services::historyfile::write(files, path(), history);
    }
    QString folder() const { return dir.filePath("Kavro"); }
    QString path() const { return kavro::services::SessionManager::historyFileIn(folder()); }

    QTemporaryDir dir;
    kavro::platform::QtFileStore files;
    ManualClock clock;
    QList<Session> history;
};

void BM_HistoryLoadAndPrune(benchmark::State& state) {
    HistoryFixture fixture;
    kavro::services::SessionManager manager(fixture.clock, fixture.files, fixture.folder());
    for (auto _ : state) {
        benchmark::DoNotOptimize(manager.loadHistory());
        benchmark::DoNotOptimize(manager.sessionHistory().size());
    }
    state.counters["sessions"] = static_cast<double>(manager.sessionHistory().size());
}
BENCHMARK(BM_HistoryLoadAndPrune)->Unit(benchmark::kMillisecond);

// Encoding and the atomic replacement of the file (temporary file, then rename).
void BM_HistorySave(benchmark::State& state) {
    HistoryFixture fixture;
    kavro::services::SessionManager manager(fixture.clock, fixture.files, fixture.folder());
    for (auto _ : state) {
        benchmark::DoNotOptimize(manager.saveHistory());
    }
    state.counters["bytes"] = static_cast<double>(QFileInfo(fixture.path()).size());
}
BENCHMARK(BM_HistorySave)->Unit(benchmark::kMillisecond);

void BM_CsvStringAllSessions(benchmark::State& state) {
    HistoryFixture fixture;
    for (auto _ : state) {
        const QString csv = kavro::models::csv::csvString(fixture.history, kBerlin, kNow);
        benchmark::DoNotOptimize(csv.size());
    }
}
BENCHMARK(BM_CsvStringAllSessions)->Unit(benchmark::kMicrosecond);

// Everything one redraw of the history window asks for, over a 30-day range: the
// statistics, the grouped sessions, the chart and its header, and every calendar cell
// of the displayed month.
void BM_RangeStatistics30Days(benchmark::State& state) {
    HistoryFixture fixture;
    kavro::services::HistoryRangeSelection selection(fixture.clock);
    selection.applyPreset(-29);
    const double liveDose = 42.5;
    for (auto _ : state) {
        const kavro::services::HistoryRangeStatistics stats(fixture.history, liveDose, fixture.clock,
                                                            selection.rangeStart(), selection.rangeEnd());
        benchmark::DoNotOptimize(stats.totalDose());
        benchmark::DoNotOptimize(stats.averageDosePerDay());
        benchmark::DoNotOptimize(stats.euWeeklyLevel());
        benchmark::DoNotOptimize(stats.rangePeakSPL());
        benchmark::DoNotOptimize(stats.rangePeakDBC());
        benchmark::DoNotOptimize(stats.impulseTotal());
        benchmark::DoNotOptimize(stats.cumulativeFraction());
        benchmark::DoNotOptimize(stats.groupedRangeSessions().size());
        benchmark::DoNotOptimize(stats.cumulativeDayDose().size());
        const kavro::ui::HistoryChart chart(stats);
        const auto header = chart.header(selection.rangeEnd());
        benchmark::DoNotOptimize(header.text());
        const kavro::ui::HistoryCalendar calendar(selection);
        for (const auto& week : calendar.displayedWeeks()) {
            for (const auto& day : week) {
                if (day) {
                    const auto cell = calendar.cell(*day, stats);
                    benchmark::DoNotOptimize(cell.colour);
                }
            }
        }
    }
    state.counters["rangeSessions"] = static_cast<double>(
        kavro::services::HistoryRangeStatistics(fixture.history, liveDose, fixture.clock,
                                                selection.rangeStart(), selection.rangeEnd())
            .rangeSessions()
            .size());
}
BENCHMARK(BM_RangeStatistics30Days)->Unit(benchmark::kMicrosecond);

} // namespace
