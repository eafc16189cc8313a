// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/GeneralSettings.h"

#include "core/AppState.h"
#include "dsp/ExposureLimits.h"
#include "models/NumberText.h"

namespace kavro::ui {

SettingSwitch GeneralSettings::autoStartSessions() {
    return {QStringLiteral("Auto-start sessions when DAW launches"), &core::AppState::autoStartSessions,
            &core::AppState::setAutoStartSessions};
}

SettingSwitch GeneralSettings::launchAtLogin() {
    return {QStringLiteral("Launch at Login"), &core::AppState::launchAtLogin,
            &core::AppState::setLaunchAtLogin};
}

QString GeneralSettings::launchAtLoginCaption() {
    return QStringLiteral(
        "Start Kavro automatically when you log in, so dose tracking begins as soon as your "
        "computer is ready.");
}

SettingSwitch GeneralSettings::timeSensitiveNotifications() {
    return {QStringLiteral("Break through Do Not Disturb"), &core::AppState::timeSensitiveNotifications,
            &core::AppState::setTimeSensitiveNotifications};
}

QString GeneralSettings::timeSensitiveCaption() {
    // Desktop notification servers show critical notifications (freedesktop urgency 2)
    // even in Do Not Disturb; that is how these alerts break through.
    return QStringLiteral(
               "When enabled, warning and danger dose alerts, peak impulse alerts, and %1 dBA ceiling "
               "alerts are sent as critical notifications (freedesktop urgency 2), which the "
               "notification server shows even in Do Not Disturb. Session recaps and informational "
               "notifications are unaffected.")
        .arg(models::fixedText(dsp::eu::kInstantaneousPeakDba, 0));
}

QString GeneralSettings::versionText(const BuildInfo& build) {
    return QStringLiteral("Kavro ") + build.version + QStringLiteral(" (") + build.revision +
           QLatin1Char(')');
}

QList<GeneralSettings::AboutRow> GeneralSettings::aboutRows(const BuildInfo& build) {
    QList<AboutRow> rows{{QStringLiteral("Version"), versionText(build), {}},
                         {QStringLiteral("Developer"), QStringLiteral("Kavro contributors"), {}}};
    if (!build.website.isEmpty()) {
        rows.append({QStringLiteral("Website"), build.website, build.website});
    }
    if (!build.contact.isEmpty()) {
        rows.append({QStringLiteral("Contact"), build.contact, QStringLiteral("mailto:") + build.contact});
    }
    return rows;
}

} // namespace kavro::ui
