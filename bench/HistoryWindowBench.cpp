// SPDX-License-Identifier: GPL-3.0-or-later
// The History window over the heaviest history (HeavyHistory.h), drawn offscreen: how
// long it takes to open to its first paint, and one step of a drag across the calendar
// with everything that follows it (the range, the statistics, the chart, the session
// list and the repaint). A step must stay well under a frame (16 ms at 60 frames a
// second) for the selection to follow the pointer.
#include "HeavyHistory.h"
#include "core/AppState.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/FakeLoginItemService.h"
#include "platform/testing/ManualClock.h"
#include "platform/testing/MemoryFileStore.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "services/HistoryFile.h"
#include "services/SessionManager.h"
#include "ui/history/CalendarDayCell.h"
#include "ui/history/CalendarGrid.h"
#include "ui/history/HistoryPresenter.h"
#include "ui/history/HistoryWindowContent.h"
#include "ui/history/SessionList.h"

#include <QApplication>
#include <QMouseEvent>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace kavro;

// The last evening of a month, so that the month's grid holds all 30 days of history.
const QDateTime kNow(QDate(2025, 4, 30), QTime(23, 0), bench::kBerlin);
const QString kDataFolder = QStringLiteral("/home/ada/.local/share/Kavro");

// The application as it runs: the state over fakes, with the history loaded.
class Application {
public:
    Application() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        m_application = std::make_unique<QApplication>(m_argc, m_argv);
        m_files.createFolder(kDataFolder, platform::FileStore::Access::privateToUser);
        services::historyfile::write(m_files, services::SessionManager::historyFileIn(kDataFolder),
                                     bench::heavyHistory(kNow));
        m_state = std::make_unique<core::AppState>(
            core::AppState::Platform{m_backend, m_preferences, m_clock, m_notifications, m_workspace,
                                     m_loginItem, m_files, kDataFolder});
        QCoreApplication::sendPostedEvents();
    }

    ~Application() {
        m_state.reset();
        m_application.reset();
    }

    core::AppState& state() { return *m_state; }

private:
    int m_argc = 1;
    char m_name[12] = "kavro-bench";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_application;
    platform::testing::MemoryFileStore m_files;
    platform::testing::ScriptedAudioBackend m_backend;
    platform::MemoryPreferencesStore m_preferences;
    platform::testing::ManualClock m_clock{kNow, bench::kBerlin};
    platform::testing::RecordingNotificationCenter m_notifications;
    platform::testing::ScriptedWorkspace m_workspace;
    platform::testing::FakeLoginItemService m_loginItem;
    std::unique_ptr<core::AppState> m_state;
};

// The window as the program's window host makes it: "History", 760×540.
struct Window {
    explicit Window(core::AppState& state) {
        window.setWindowTitle(QStringLiteral("History"));
        window.resize(760, 540);
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        content = new ui::HistoryWindowContent(state, nullptr, &window);
        layout->addWidget(content);
    }

    // Lets every posted change, layout and paint happen.
    static void settle() {
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }

    QWidget window;
    ui::HistoryWindowContent* content = nullptr;
};

void BM_HistoryWindowOpenToFirstPaint(benchmark::State& state) {
    Application application;
    for (auto _ : state) {
        Window opened(application.state());
        opened.window.show();
        Window::settle();
        opened.window.repaint();
        state.PauseTiming();
        opened.window.hide();
        state.ResumeTiming();
    }
}
// The first opening in a fresh program pays for fonts and symbols; later ones find them
// cached.
BENCHMARK(BM_HistoryWindowOpenToFirstPaint)
    ->Name("BM_HistoryWindowOpenToFirstPaint/cold")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistoryWindowOpenToFirstPaint)->Unit(benchmark::kMillisecond);

void sendMouse(QWidget* target, QEvent::Type type, QPointF position) {
    QMouseEvent event(type, position, target->mapToGlobal(position), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// The pointer walks from the 1st of the month to the 30th and back, a day a step, while
// the button is held: every step moves the end of the range by a day, up to all 180
// sessions in the list.
void BM_HistoryCalendarDragStep(benchmark::State& state) {
    Application application;
    Window opened(application.state());
    opened.window.show();
    Window::settle();
    auto* grid = opened.content->findChild<ui::CalendarGrid*>();
    QList<QPointF> days;
    for (int day = 1; day <= kNow.date().daysInMonth(); ++day) {
        days.append(QRectF(grid->cellFor(QDate(2025, 4, day))->geometry()).center());
    }
    sendMouse(grid, QEvent::MouseButtonPress, days.front());
    qsizetype step = 0;
    qsizetype direction = 1;
    for (auto _ : state) {
        step += direction;
        if (step == days.size() - 1 || step == 0) {
            direction = -direction;
        }
        sendMouse(grid, QEvent::MouseMove, days[step]);
        Window::settle();
    }
    sendMouse(grid, QEvent::MouseButtonRelease, days[step]);
    state.counters["sessionsShown"] =
        static_cast<double>(opened.content->findChild<ui::SessionList*>()->rows().size());
}
BENCHMARK(BM_HistoryCalendarDragStep)->Unit(benchmark::kMillisecond);

} // namespace
