// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/BuildInfo.h"
#include "ui/settings/SettingSwitch.h"

#include <QList>
#include <QString>

namespace kavro::ui {

// The General tab without widgets: the session and notification switches with their
// captions, and the rows of the About section.
class GeneralSettings {
public:
    struct AboutRow {
        QString label;
        QString text;
        QString link; // a web or mail address to open; empty for plain text

        friend bool operator==(const AboutRow&, const AboutRow&) = default;
    };

    static SettingSwitch autoStartSessions();
    static SettingSwitch launchAtLogin();
    static QString launchAtLoginCaption();
    static SettingSwitch timeSensitiveNotifications();
    static QString timeSensitiveCaption();

    // "Kavro 0.1.0 (1a2b3c4d5e)"; the parentheses stay when the revision is unknown.
    static QString versionText(const BuildInfo& build);
    // Version and Developer always; Website and Contact only when the build gave them.
    static QList<AboutRow> aboutRows(const BuildInfo& build);
};

} // namespace kavro::ui
