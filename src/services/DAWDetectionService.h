// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Settings.h"
#include "platform/Workspace.h"
#include "services/KnownWorkstations.h"

#include <QObject>

#include <functional>

namespace kavro::services {

// Watches the workstations and editors the user listens through: keeps the set of
// watched applications now running, and calls back when the first one starts and when
// the last one has quit, so that listening sessions can follow them. The applications
// the user adds to the watch list are kept in the preferences.
class DAWDetectionService : public QObject {
    Q_OBJECT
public:
    // Restores the user's entries, then lists the applications already running; those
    // start nothing (no handler is installed yet when the owner builds the service).
    DAWDetectionService(platform::Workspace& workspace, platform::Settings settings,
                        QObject* parent = nullptr);
    ~DAWDetectionService() override;

    // Published: the watched applications running now, id → display name.
    const ApplicationTable& activeDAWs() const { return m_activeDAWs; }
    bool isDAWRunning() const { return m_isDAWRunning; }

    // The first watched application has started; called with its display name.
    std::function<void(const QString& displayName)> onDAWLaunched;
    // The last running watched application has quit.
    std::function<void()> onAllDAWsQuit;

    // The watch list: the built-in entries and the user's additions. A change takes
    // effect at the next launch of the application, nothing is rescanned.
    const ApplicationTable& watchedBundleIDs() const { return m_watchedBundleIDs; }
    // Adds or renames an entry; false (and nothing changed) when either text is empty.
    // The user's own entries are stored at once; a renamed built-in entry lasts until
    // the program ends.
    bool addWatchedApplication(const QString& applicationId, const QString& displayName);
    // Removes a user's entry, also from the preferences; built-in entries stay.
    void removeWatchedApplication(const QString& applicationId);
    static bool isBuiltIn(const QString& applicationId);

signals:
    void changed();

private:
    void restoreCustomEntries();
    void storeCustomEntries();
    void setupObservers();
    void scanRunningApps();
    void handleAppLaunch(const platform::RunningApplication& application);
    void handleAppTermination(const platform::RunningApplication& application);

    platform::Workspace& m_workspace;
    platform::Settings m_settings;
    ApplicationTable m_activeDAWs;
    bool m_isDAWRunning = false;
    ApplicationTable m_watchedBundleIDs;
};

} // namespace kavro::services
