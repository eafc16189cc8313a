// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Workspace.h"

#include <algorithm>

namespace kavro::platform::testing {

// A workspace whose applications start and quit when the test says so.
class ScriptedWorkspace final : public Workspace {
public:
    std::vector<RunningApplication> runningApplications() const override { return m_running; }

    // Applications already running, listed without any launch being reported.
    void setRunning(const std::vector<QString>& applicationIds) {
        m_running.clear();
        for (const auto& id : applicationIds) {
            m_running.push_back({id, m_nextProcessId++});
        }
    }

    RunningApplication launch(const QString& applicationId) {
        RunningApplication application{applicationId, m_nextProcessId++};
        m_running.push_back(application);
        reportLaunch(application);
        return application;
    }

    // Quits one instance (the oldest when none is named by its process id).
    void terminate(const QString& applicationId, qint64 processId = 0) {
        const auto found =
            std::find_if(m_running.begin(), m_running.end(), [&](const RunningApplication& app) {
                return app.applicationId == applicationId && (processId == 0 || app.processId == processId);
            });
        if (found == m_running.end()) {
            return;
        }
        const RunningApplication application = *found;
        m_running.erase(found);
        reportTermination(application);
    }

private:
    std::vector<RunningApplication> m_running;
    qint64 m_nextProcessId = 1000;
};

} // namespace kavro::platform::testing
