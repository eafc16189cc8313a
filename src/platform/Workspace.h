// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace kavro::platform {

// A running application as the desktop names it. An empty identifier means the
// platform could not name it.
struct RunningApplication {
    QString applicationId;
    qint64 processId = 0;
};

// The user's running applications, with notice of launches and quits. The handlers
// are called on the main thread.
class Workspace {
public:
    using ApplicationHandler = std::function<void(const RunningApplication&)>;

    virtual ~Workspace() = default;

    virtual std::vector<RunningApplication> runningApplications() const = 0;

    // One handler of each kind; an empty function removes it.
    void setLaunchHandler(ApplicationHandler handler) { m_launchHandler = std::move(handler); }
    void setTerminationHandler(ApplicationHandler handler) { m_terminationHandler = std::move(handler); }

protected:
    void reportLaunch(const RunningApplication& application) const {
        if (m_launchHandler) {
            m_launchHandler(application);
        }
    }
    void reportTermination(const RunningApplication& application) const {
        if (m_terminationHandler) {
            m_terminationHandler(application);
        }
    }

private:
    ApplicationHandler m_launchHandler;
    ApplicationHandler m_terminationHandler;
};

} // namespace kavro::platform
