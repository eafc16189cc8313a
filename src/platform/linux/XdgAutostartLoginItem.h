// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/LoginItemService.h"

#include <QString>

namespace kavro::platform {

// Starting at login through the freedesktop autostart folder: a kavro.desktop entry in
// $XDG_CONFIG_HOME/autostart that runs this program.
class XdgAutostartLoginItem final : public LoginItemService {
public:
    static inline const QString kFileName = QStringLiteral("kavro.desktop");

    // The user's autostart folder ($XDG_CONFIG_HOME/autostart, ~/.config/autostart).
    static QString defaultAutostartFolder();

    // The executable must be an absolute path; by default the running program's.
    explicit XdgAutostartLoginItem(QString autostartFolder = defaultAutostartFolder(),
                                   QString executable = {});

    // Enabled when the entry exists and the desktop has not switched it off.
    LoginItemStatus status() const override;
    std::optional<LoginItemError> registerItem() override;
    std::optional<LoginItemError> unregisterItem() override;

    QString entryPath() const;
    // The Exec value for a program path, quoted and escaped for a desktop entry; nothing
    // when the path cannot be written there (control characters, not absolute).
    static std::optional<QString> execValue(const QString& executable);

private:
    QString m_folder;
    QString m_executable;
};

} // namespace kavro::platform
