// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>

namespace kavro::services {

// Application id → display name.
using ApplicationTable = QHash<QString, QString>;

// The fifteen workstations and editors watched on every platform, by bundle identifier.
const ApplicationTable& knownDAWBundleIDs();
// Workstations and editors that Linux users run, by the application id their Debian or
// Flathub package installs.
const ApplicationTable& linuxWorkstationIDs();
// Both tables together: the built-in watch list, whose entries cannot be removed.
const ApplicationTable& builtInWorkstationIDs();
// Executable names, desktop ids and Flatpak ids of the built-in workstations, mapped to
// their ids in the tables above.
const ApplicationTable& workstationAliases();

} // namespace kavro::services
