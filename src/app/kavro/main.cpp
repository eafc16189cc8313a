// kavro: Kavro's application. `kavro --headless` runs all of it without windows:
// sessions follow the workstations, notifications are posted and the history is
// written, with one line on standard output per change of state.
#include "HeadlessReporter.h"

#include "core/AppState.h"
#include "platform/file/DataFolder.h"
#include "platform/file/QtFileStore.h"
#include "platform/linux/DBusNotificationCenter.h"
#include "platform/linux/ProcWorkspace.h"
#include "platform/linux/TerminationSignals.h"
#include "platform/linux/XdgAutostartLoginItem.h"
#include "platform/qt/QtAudioBackend.h"
#include "platform/qt/SettingsPreferencesStore.h"
#include "platform/qt/SystemClock.h"
#include "services/KnownWorkstations.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int kExitUsage = 2;

const char* const kUsage = "Usage: kavro --headless\n"
                           "\n"
                           "Runs Kavro without windows: listening sessions follow your audio workstations,\n"
                           "notifications are posted and the session history is kept. One line is printed\n"
                           "for every session start and end, dose band and notification. Stop it with\n"
                           "Ctrl-C or SIGTERM; a running session is ended and saved first.\n";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kavro"));

    const QStringList arguments = application.arguments().mid(1);
    if (arguments == QStringList{QStringLiteral("--help")}) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (arguments != QStringList{QStringLiteral("--headless")}) {
        std::fputs("kavro: this build has no windows; run it with --headless\n\n", stderr);
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }

    kavro::app::HeadlessReporter reporter(stdout);
    // Quitting through the event loop lets the application state save a running session.
    kavro::platform::TerminationSignals terminationSignals([](int) { QCoreApplication::quit(); });

    kavro::platform::QtAudioBackend audioBackend;
    kavro::platform::SettingsPreferencesStore preferences;
    kavro::platform::SystemClock clock;
    kavro::platform::DBusNotificationCenter desktopNotifications;
    kavro::app::ReportingNotificationCenter notifications(desktopNotifications, reporter);
    kavro::platform::ProcWorkspace workspace(kavro::services::workstationAliases());
    kavro::platform::XdgAutostartLoginItem loginItem;
    kavro::platform::QtFileStore files;

    kavro::core::AppState state({audioBackend, preferences, clock, notifications, workspace, loginItem, files,
                                 kavro::platform::defaultDataFolder()});
    reporter.watch(state);
    reporter.print(QStringLiteral("Kavro started"));

    const int result = application.exec();
    reporter.print(QStringLiteral("Kavro stopped"));
    return result;
}
