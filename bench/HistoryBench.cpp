// SPDX-License-Identifier: GPL-3.0-or-later
// The history on its heaviest day (HeavyHistory.h). Loading and saving happen on the
// main thread at launch, at the end of every session and at midnight; the range
// statistics run on every redraw of the history window.
#include "HeavyHistory.h"
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

using kavro::bench::kBerlin;
using kavro::models::Session;
using kavro::platform::testing::ManualClock;

const QDateTime kNow(QDate(2025, 4, 10), QTime(23, 0), kBerlin);

// The history on disk, through the same file store the application uses.
struct HistoryFixture {
    HistoryFixture() : clock(kNow, kBerlin), history(kavro::bench::heavyHistory(kNow)) {
        files.createFolder(folder(), kavro::platform::FileStore::Access::privateToUser);
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
