// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/DAWDetectionService.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace kavro::services {

DAWDetectionService::DAWDetectionService(platform::Workspace& workspace, platform::Settings settings,
                                         QObject* parent)
    : QObject(parent), m_workspace(workspace), m_settings(settings),
      m_watchedBundleIDs(builtInWorkstationIDs()) {
    // Before the scan, so that a user's application already running is listed as a
    // built-in one would be.
    restoreCustomEntries();
    setupObservers();
    scanRunningApps();
}

void DAWDetectionService::restoreCustomEntries() {
    const auto data = m_settings.stored(platform::keys::customWatchedApplications);
    if (!data) {
        return;
    }
    // Damaged data restores nothing and stays in place; entries that are not two
    // non-empty texts, or that name a built-in application, are skipped one by one.
    const QJsonObject entries = QJsonDocument::fromJson(*data).object();
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it) {
        const QString name = it.value().toString();
        if (it.key().isEmpty() || name.isEmpty() || isBuiltIn(it.key())) {
            continue;
        }
        m_watchedBundleIDs.insert(it.key(), name);
    }
}

void DAWDetectionService::storeCustomEntries() {
    QJsonObject entries;
    for (auto it = m_watchedBundleIDs.constBegin(); it != m_watchedBundleIDs.constEnd(); ++it) {
        if (!isBuiltIn(it.key())) {
            entries.insert(it.key(), it.value());
        }
    }
    if (entries.isEmpty()) {
        m_settings.remove(platform::keys::customWatchedApplications);
    } else {
        m_settings.setValue(platform::keys::customWatchedApplications,
                            QJsonDocument(entries).toJson(QJsonDocument::Compact));
    }
}

DAWDetectionService::~DAWDetectionService() {
    m_workspace.setLaunchHandler({});
    m_workspace.setTerminationHandler({});
}

void DAWDetectionService::setupObservers() {
    m_workspace.setLaunchHandler([this](const platform::RunningApplication& app) { handleAppLaunch(app); });
    m_workspace.setTerminationHandler(
        [this](const platform::RunningApplication& app) { handleAppTermination(app); });
}

void DAWDetectionService::scanRunningApps() {
    for (const auto& application : m_workspace.runningApplications()) {
        const auto watched = m_watchedBundleIDs.constFind(application.applicationId);
        if (application.applicationId.isEmpty() || watched == m_watchedBundleIDs.constEnd() ||
            m_activeDAWs.contains(application.applicationId)) {
            continue;
        }
        m_activeDAWs.insert(application.applicationId, *watched);
    }
    m_isDAWRunning = !m_activeDAWs.isEmpty();
    if (!m_activeDAWs.isEmpty()) {
        emit changed();
        if (onDAWLaunched) {
            onDAWLaunched(m_activeDAWs.cbegin().value());
        }
    }
}

void DAWDetectionService::handleAppLaunch(const platform::RunningApplication& application) {
    if (application.applicationId.isEmpty()) {
        return;
    }
    const auto watched = m_watchedBundleIDs.constFind(application.applicationId);
    if (watched == m_watchedBundleIDs.constEnd()) {
        return;
    }
    // A copy: a handler of changed() may edit the watch list before the name is used.
    const QString displayName = *watched; // NOLINT(performance-unnecessary-copy-initialization)
    const bool wasEmpty = m_activeDAWs.isEmpty();
    m_activeDAWs.insert(application.applicationId, displayName);
    m_isDAWRunning = !m_activeDAWs.isEmpty();
    emit changed();
    if (wasEmpty && onDAWLaunched) {
        onDAWLaunched(displayName);
    }
}

void DAWDetectionService::handleAppTermination(const platform::RunningApplication& application) {
    // The watch list is not consulted: an entry removed while its application runs
    // still ends with that application.
    if (application.applicationId.isEmpty() || m_activeDAWs.remove(application.applicationId) == 0) {
        return;
    }
    m_isDAWRunning = !m_activeDAWs.isEmpty();
    emit changed();
    if (m_activeDAWs.isEmpty() && onAllDAWsQuit) {
        onAllDAWsQuit();
    }
}

bool DAWDetectionService::addWatchedApplication(const QString& applicationId, const QString& displayName) {
    if (applicationId.isEmpty() || displayName.isEmpty()) {
        return false;
    }
    m_watchedBundleIDs.insert(applicationId, displayName);
    if (!isBuiltIn(applicationId)) {
        storeCustomEntries();
    }
    emit changed();
    return true;
}

void DAWDetectionService::removeWatchedApplication(const QString& applicationId) {
    if (isBuiltIn(applicationId) || m_watchedBundleIDs.remove(applicationId) == 0) {
        return;
    }
    storeCustomEntries();
    emit changed();
}

bool DAWDetectionService::isBuiltIn(const QString& applicationId) {
    return builtInWorkstationIDs().contains(applicationId);
}

} // namespace kavro::services
