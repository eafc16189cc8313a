#pragma once

#include "platform/Workspace.h"
#include "services/KnownWorkstations.h"

#include <QObject>

#include <functional>

namespace kavro::services {

// Watches the workstations and editors the user listens through: keeps the set of
// watched applications now running, and calls back when the first one starts and when
// the last one has quit, so that listening sessions can follow them.
class DAWDetectionService : public QObject {
    Q_OBJECT
public:
    // Lists the applications already running; those start nothing (no handler is
    // installed yet when the owner builds the service).
    explicit DAWDetectionService(platform::Workspace& workspace, QObject* parent = nullptr);
    ~DAWDetectionService() override;

    // Published: the watched applications running now, id → display name.
    const ApplicationTable& activeDAWs() const { return m_activeDAWs; }
    bool isDAWRunning() const { return m_isDAWRunning; }

    // The first watched application has started; called with its display name.
    std::function<void(const QString& displayName)> onDAWLaunched;
    // The last running watched application has quit.
    std::function<void()> onAllDAWsQuit;

    // The watch list: the built-in entries and the user's additions for this run.
    // Changing it takes effect at the next launch and notifies nobody.
    const ApplicationTable& watchedBundleIDs() const { return m_watchedBundleIDs; }
    void setWatchedBundleIDs(ApplicationTable watched) { m_watchedBundleIDs = std::move(watched); }
    // Adds or renames an entry; false (and nothing changed) when either text is empty.
    bool addWatchedApplication(const QString& applicationId, const QString& displayName);
    // Removes a user's entry; built-in entries stay.
    void removeWatchedApplication(const QString& applicationId);
    static bool isBuiltIn(const QString& applicationId);

signals:
    void changed();

private:
    void setupObservers();
    void scanRunningApps();
    void handleAppLaunch(const platform::RunningApplication& application);
    void handleAppTermination(const platform::RunningApplication& application);

    platform::Workspace& m_workspace;
    ApplicationTable m_activeDAWs;
    bool m_isDAWRunning = false;
    ApplicationTable m_watchedBundleIDs;
};

} // namespace kavro::services
