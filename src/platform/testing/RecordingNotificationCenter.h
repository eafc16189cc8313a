// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/NotificationCenter.h"

#include <vector>

namespace kavro::platform::testing {

// A notification centre that keeps everything it is given, and lets a test answer a
// notification as the user would.
class RecordingNotificationCenter final : public NotificationCenter {
public:
    void requestAuthorization() override { ++m_authorizationRequests; }
    void setCategories(const std::vector<NotificationCategory>& categories) override {
        m_categories = categories;
        ++m_categoryRegistrations;
    }
    void add(const NotificationRequest& request) override { m_requests.push_back(request); }
    void setResponseHandler(ResponseHandler handler) override { m_responseHandler = std::move(handler); }

    // Calls the response handler as the desktop would; false when none is installed.
    bool respond(const QString& requestIdentifier, const QString& actionIdentifier) {
        if (!m_responseHandler) {
            return false;
        }
        m_responseHandler(NotificationResponse{requestIdentifier, actionIdentifier});
        return true;
    }

    const std::vector<NotificationRequest>& requests() const { return m_requests; }
    const std::vector<NotificationCategory>& categories() const { return m_categories; }
    int authorizationRequests() const { return m_authorizationRequests; }
    int categoryRegistrations() const { return m_categoryRegistrations; }
    void clear() { m_requests.clear(); }

private:
    std::vector<NotificationRequest> m_requests;
    std::vector<NotificationCategory> m_categories;
    ResponseHandler m_responseHandler;
    int m_authorizationRequests = 0;
    int m_categoryRegistrations = 0;
};

} // namespace kavro::platform::testing
