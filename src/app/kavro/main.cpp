// SPDX-License-Identifier: GPL-3.0-or-later
// kavro: Kavro's desktop program. It lives in the desktop's tray (or, without a tray,
// in a window of its own); `kavro --headless` runs all of it without windows: sessions
// follow the workstations, notifications are posted and the history is written, with
// one line on standard output per change of state.
#include "HeadlessReporter.h"
#include "LaunchOptions.h"
#include "ProgramFolders.h"
#include "ProgramParts.h"

#include "core/AppState.h"
#include "models/ProgramLicence.h"
#include "platform/ApplicationId.h"
#include "platform/file/DataFolderLock.h"
#include "platform/linux/DBusSingleInstance.h"
#include "platform/linux/NoUpdater.h"
#include "platform/linux/TerminationSignals.h"
#include "ui/shell/Shell.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QIcon>
#include <QSessionManager>
#include <QThread>

#include <cstdio>
#include <memory>
#include <variant>

namespace {

using namespace kavro;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// How long a second start waits for the first to answer, and for a first start that
// is still coming up to take the application's name.
constexpr int kActivateTimeoutMs = 3000;

void printLine(std::FILE* stream, const QString& line) {
    const QByteArray text = line.toUtf8() + '\n';
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stream);
    std::fflush(stream);
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

std::variant<app::ProgramFolders, QString> chooseDataFolder(const app::LaunchOptions& options) {
    if (!options.dataDir.isEmpty()) {
        return app::ProgramFolders::at(options.dataDir);
    }
    if (!options.inputFile.isEmpty()) {
        return app::ProgramFolders::temporary();
    }
    return app::ProgramFolders::usersOwn();
}

QString demonstrationLine(const app::LaunchOptions& options, const app::ProgramFolders& folder) {
    QString line =
        QStringLiteral("Playing %1 as the microphone%2; dose, history and preferences are kept in %3")
            .arg(options.inputFile, options.loop ? QStringLiteral(", looped") : QString(), folder.path());
    if (folder.isTemporary()) {
        line += QStringLiteral(" (removed when Kavro quits)");
    }
    return line;
}

// A second start of the desktop program: the first one shows its panel instead.
bool handOverToRunningInstance(const platform::DBusSingleInstance& instance) {
    return instance.isTaken() && instance.activateRunning(kActivateTimeoutMs);
}

// The lock is held by a first start that may not have taken its name yet.
bool handOverOnceNamed(const platform::DBusSingleInstance& instance) {
    const QDeadlineTimer deadline(kActivateTimeoutMs);
    while (!deadline.hasExpired()) {
        if (handOverToRunningInstance(instance)) {
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

constexpr int kHandedOver = 0;

// One desktop program per user, one writer of the history per data folder: the
// folder's lock, or the exit code of a start that ends here (handed over to the
// running program, or refused).
std::variant<std::unique_ptr<platform::DataFolderLock>, int>
lockDataFolder(const app::ProgramFolders& folder, const platform::DBusSingleInstance& instance,
               bool singleInstance) {
    const QString handedOver = QStringLiteral("Kavro is already running; its panel is shown");
    if (singleInstance && handOverToRunningInstance(instance)) {
        printLine(stdout, handedOver);
        return kHandedOver;
    }
    auto locked = platform::DataFolderLock::acquire(folder.path());
    if (auto* refusal = std::get_if<platform::DataFolderLock::Refusal>(&locked)) {
        if (singleInstance && handOverOnceNamed(instance)) {
            printLine(stdout, handedOver);
            return kHandedOver;
        }
        printLine(stderr,
                  QStringLiteral("kavro: ") + platform::DataFolderLock::describe(*refusal, folder.path()));
        return kExitFailure;
    }
    return std::get<std::unique_ptr<platform::DataFolderLock>>(std::move(locked));
}

// Runs the application state, in the tray or headless, until the program quits.
int runUntilQuit(const app::LaunchOptions& options, app::ProgramParts& parts, platform::DataFolderLock& lock,
                 platform::DBusSingleInstance& instance, bool singleInstance) {
    // Quitting through the event loop lets the application state save a running session.
    platform::TerminationSignals terminationSignals([](int) { QCoreApplication::quit(); });

    std::unique_ptr<app::HeadlessReporter> reporter;
    std::unique_ptr<app::ReportingNotificationCenter> reportingNotifications;
    if (options.headless) {
        reporter = std::make_unique<app::HeadlessReporter>(stdout);
        reportingNotifications =
            std::make_unique<app::ReportingNotificationCenter>(parts.desktopNotifications(), *reporter);
    }
    auto statePlatform =
        parts.platform(reportingNotifications ? *reportingNotifications : parts.desktopNotifications());
    statePlatform.writerLock = &lock;
    core::AppState state(statePlatform);

    platform::NoUpdater updater;
    std::unique_ptr<ui::Shell> shell;
    if (!options.headless) {
        shell = std::make_unique<ui::Shell>(state, updater);
        // The desktop ending the user's session may not wait for the event loop to end:
        // a running session is ended and saved when it asks the program to save.
        QObject::connect(qApp, &QGuiApplication::commitDataRequest, &state,
                         [&state](QSessionManager&) { state.prepareForQuit(); });
        if (singleInstance) {
            instance.claim([&shell] { shell->showPanel(); });
        }
        shell->start();
    } else {
        reporter->watch(state);
        reporter->print(QStringLiteral("Kavro started"));
    }

    if (!options.inputFile.isEmpty()) {
        state.startSession(QFileInfo(options.inputFile).fileName());
    }

    const int result = QCoreApplication::exec();
    if (reporter) {
        reporter->print(QStringLiteral("Kavro stopped"));
    }
    return result;
}

int run(const app::LaunchOptions& options) {
    auto chosen = chooseDataFolder(options);
    if (auto* error = std::get_if<QString>(&chosen)) {
        printLine(stderr, QStringLiteral("kavro: ") + *error);
        return kExitFailure;
    }
    const app::ProgramFolders folder = std::get<app::ProgramFolders>(std::move(chosen));

    // Only the desktop program on the user's own folder owns the application's name. A
    // demonstration's folder is its own.
    platform::DBusSingleInstance instance(platform::applicationId());
    const bool singleInstance = !options.headless && folder.isUsersOwn();
    auto locked = lockDataFolder(folder, instance, singleInstance);
    if (const int* exitCode = std::get_if<int>(&locked)) {
        return *exitCode;
    }
    const auto lock = std::get<std::unique_ptr<platform::DataFolderLock>>(std::move(locked));

    auto created = app::ProgramParts::create(folder, {options.inputFile, options.loop});
    if (auto* error = std::get_if<QString>(&created)) {
        printLine(stderr, QStringLiteral("kavro: ") + *error);
        return kExitFailure;
    }
    const auto parts = std::get<std::unique_ptr<app::ProgramParts>>(std::move(created));
    if (!options.inputFile.isEmpty()) {
        printLine(stdout, demonstrationLine(options, folder));
    }
    return runUntilQuit(options, *parts, *lock, instance, singleInstance);
}

} // namespace

int main(int argc, char** argv) {
    QStringList rawArguments;
    for (int index = 1; index < argc; ++index) {
        rawArguments << QString::fromLocal8Bit(argv[index]);
    }
    // Windows need a display; without windows (and for the help) none is needed.
    const bool withoutWindows = rawArguments.contains(QStringLiteral("--headless")) ||
                                rawArguments.contains(QStringLiteral("--help")) ||
                                rawArguments.contains(QStringLiteral("--version")) ||
                                rawArguments.contains(QStringLiteral("-h"));
    if (!withoutWindows && !hasDisplay()) {
        std::fputs("kavro: there is no display to show Kavro on; run kavro --headless to measure without "
                   "windows\n",
                   stderr);
        return kExitUsage;
    }
    std::unique_ptr<QCoreApplication> application;
    if (withoutWindows) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        application = std::make_unique<QApplication>(argc, argv);
        QGuiApplication::setDesktopFileName(platform::applicationId());
        QGuiApplication::setWindowIcon(
            QIcon::fromTheme(platform::applicationId(),
                             QIcon(QStringLiteral(":/kavro/%1.svg").arg(platform::applicationId()))));
    }
    QCoreApplication::setApplicationName(QStringLiteral("kavro"));

    const auto parsed = app::LaunchOptions::parse(application->arguments().mid(1));
    if (std::holds_alternative<app::LaunchOptions::Help>(parsed)) {
        std::fputs(app::LaunchOptions::usage(), stdout);
        printLine(stdout, QStringLiteral("\n") + models::licenceText().trimmed());
        return 0;
    }
    if (std::holds_alternative<app::LaunchOptions::Version>(parsed)) {
        printLine(stdout, models::versionText(QStringLiteral("kavro")).trimmed());
        return 0;
    }
    if (const auto* error = std::get_if<QString>(&parsed)) {
        printLine(stderr, QStringLiteral("kavro: ") + *error + u'\n');
        std::fputs(app::LaunchOptions::usage(), stderr);
        return kExitUsage;
    }
    return run(std::get<app::LaunchOptions>(parsed));
}
