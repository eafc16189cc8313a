// SPDX-License-Identifier: GPL-3.0-or-later
// kavro-history-host: the History window's content in a window of its own, over the
// application state with a scripted microphone and a clock fixed at an afternoon, and
// a history made up for the occasion. scripts/screenshots grabs it to PNGs; a
// developer looks at it in the states the options below set up.
#include "core/AppState.h"
#include "hosts/DarkPalette.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/file/QtFileStore.h"
#include "platform/testing/FakeLoginItemService.h"
#include "platform/testing/RecordingNotificationCenter.h"
#include "platform/testing/ScriptedAudioBackend.h"
#include "platform/testing/ScriptedWorkspace.h"
#include "services/DoseCalculator.h"
#include "services/HistoryFile.h"
#include "services/SessionManager.h"
#include "support/GeneratedHistory.h"
#include "ui/history/HistoryPresenter.h"
#include "ui/history/HistoryWindowContent.h"
#include "ui/history/InfoPopover.h"
#include "ui/history/SessionList.h"
#include "ui/history/SessionRowWidget.h"
#include "ui/history/StatisticTileWidget.h"
#include "ui/history/SummaryPanel.h"
#include "ui/shell/Shell.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QPainter>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace {

using namespace kavro;

// A Friday afternoon, in the user's zone.
const QTimeZone kZone("Europe/Berlin");
const QDateTime kNow(QDate(2025, 3, 14), QTime(17, 40), kZone);

// The afternoon above, running on from the moment the program starts.
class RunningClock final : public platform::Clock {
public:
    RunningClock() { m_elapsed.start(); }
    QDateTime now() const override { return kNow.addMSecs(m_elapsed.elapsed()); }
    std::chrono::milliseconds elapsed() const override {
        return std::chrono::milliseconds(m_elapsed.elapsed());
    }
    QTimeZone timeZone() const override { return kZone; }

private:
    QElapsedTimer m_elapsed;
};

class Host {
public:
    explicit Host(const QList<models::Session>& history) {
        services::historyfile::write(m_files, services::SessionManager::historyFileIn(m_folder.path()),
                                     history);
        m_state = std::make_unique<core::AppState>(
            core::AppState::Platform{m_backend, m_preferences, m_clock, m_notifications, m_workspace,
                                     m_loginItem, m_files, m_folder.path()});
    }

    core::AppState& state() { return *m_state; }

private:
    // Files on disk, so that an export lands where the save dialog says.
    QTemporaryDir m_folder;
    platform::QtFileStore m_files;
    platform::testing::ScriptedAudioBackend m_backend;
    platform::MemoryPreferencesStore m_preferences;
    RunningClock m_clock;
    platform::testing::RecordingNotificationCenter m_notifications;
    platform::testing::ScriptedWorkspace m_workspace;
    platform::testing::FakeLoginItemService m_loginItem;
    std::unique_ptr<core::AppState> m_state;
};

// The window with the popups open over it, as the screen shows them.
QImage screenshot(QWidget& window) {
    QImage image = window.grab().toImage();
    QPainter painter(&image);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget != &window && widget->isVisible()) {
            painter.drawPixmap(window.mapFromGlobal(widget->mapToGlobal(QPoint(0, 0))), widget->grab());
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kavro-history-host"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The Kavro history window over scripted parts, for tests and review."));
    parser.addHelpOption();
    const QCommandLineOption dark(QStringLiteral("dark"), QStringLiteral("Use a dark palette."));
    const QCommandLineOption month(QStringLiteral("month"),
                                   QStringLiteral("Start with a month of sessions."));
    const QCommandLineOption loudDay(QStringLiteral("loud-day"),
                                     QStringLiteral("Put a day with 140 dBC peaks this many days back."),
                                     QStringLiteral("days"));
    const QCommandLineOption days(QStringLiteral("days"), QStringLiteral("Select the last 7, 14 or 30 days."),
                                  QStringLiteral("count"));
    const QCommandLineOption confirmDelete(QStringLiteral("confirm-delete"),
                                           QStringLiteral("Ask about deleting the first session shown."));
    const QCommandLineOption info(QStringLiteral("info"),
                                  QStringLiteral("Open the info of the tile with this number (0-5)."),
                                  QStringLiteral("tile"));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
                                              QStringLiteral("Write the window to this PNG and quit."),
                                              QStringLiteral("file"));
    const QCommandLineOption locale(
        QStringLiteral("locale"),
        QStringLiteral("Write days and times as this locale does (en_GB, de_DE, ...)."),
        QStringLiteral("name"));
    parser.addOptions({dark, month, loudDay, days, confirmDelete, info, locale, screenshotOption});
    parser.process(application);
    if (parser.isSet(locale)) {
        QLocale::setDefault(QLocale(parser.value(locale)));
    }

    if (parser.isSet(dark)) {
        QApplication::setPalette(testing::darkPalette());
    }
    QList<models::Session> history;
    if (parser.isSet(month) || parser.isSet(loudDay)) {
        testing::GeneratedHistoryOptions options;
        options.loudDayBack = parser.isSet(loudDay) ? parser.value(loudDay).toInt() : -1;
        history = testing::generatedHistory(kNow, kZone, options);
    }
    Host host(history);

    QWidget window;
    window.setWindowTitle(QStringLiteral("History"));
    window.setMinimumSize(720, 500);
    window.resize(ui::Shell::kHistoryFirstSize);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* content = new ui::HistoryWindowContent(host.state(), nullptr, &window);
    layout->addWidget(content);
    window.show();

    ui::HistoryPresenter& presenter = content->presenter();
    if (parser.isSet(days)) {
        const int count = parser.value(days).toInt();
        presenter.applyPreset(count >= 30   ? ui::HistoryPresenter::Preset::thirtyDays
                              : count >= 14 ? ui::HistoryPresenter::Preset::fourteenDays
                                            : ui::HistoryPresenter::Preset::sevenDays);
    }
    content->refreshNow();
    if (parser.isSet(confirmDelete)) {
        const auto rows = content->findChild<ui::SessionList*>()->rows();
        if (!rows.isEmpty()) {
            presenter.askToDelete(rows.front()->row().id);
            content->refreshNow();
        }
    }
    if (parser.isSet(info)) {
        content->summaryPanel().tile(parser.value(info).toUInt())->openInfo();
    }

    if (parser.isSet(screenshotOption)) {
        const QString file = parser.value(screenshotOption);
        QTimer::singleShot(
            300, [&window, file] { QCoreApplication::exit(screenshot(window).save(file) ? 0 : 1); });
        return application.exec();
    }
    std::puts("ready");
    std::fflush(stdout);
    return application.exec();
}
