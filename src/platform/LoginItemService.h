// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace kavro::platform {

enum class LoginItemStatus { notRegistered, enabled };

// What went wrong when the login item could not be changed.
struct LoginItemError {
    QString message;
};

// Starting the program when the user logs in.
class LoginItemService {
public:
    virtual ~LoginItemService() = default;

    virtual LoginItemStatus status() const = 0;
    // Nothing on success.
    virtual std::optional<LoginItemError> registerItem() = 0;
    virtual std::optional<LoginItemError> unregisterItem() = 0;
};

} // namespace kavro::platform
