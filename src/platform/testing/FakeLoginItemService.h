// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/LoginItemService.h"

namespace kavro::platform::testing {

// A login item held in memory; a test can make the next changes fail.
class FakeLoginItemService final : public LoginItemService {
public:
    LoginItemStatus status() const override { return m_status; }
    std::optional<LoginItemError> registerItem() override { return change(LoginItemStatus::enabled); }
    std::optional<LoginItemError> unregisterItem() override { return change(LoginItemStatus::notRegistered); }

    void setStatus(LoginItemStatus status) { m_status = status; }
    void setFailing(bool failing) { m_failing = failing; }
    int changeRequests() const { return m_changeRequests; }

private:
    std::optional<LoginItemError> change(LoginItemStatus wanted) {
        ++m_changeRequests;
        if (m_failing) {
            return LoginItemError{QStringLiteral("refused")};
        }
        m_status = wanted;
        return std::nullopt;
    }

    LoginItemStatus m_status = LoginItemStatus::notRegistered;
    bool m_failing = false;
    int m_changeRequests = 0;
};

} // namespace kavro::platform::testing
