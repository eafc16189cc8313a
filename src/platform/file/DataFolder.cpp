// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/file/DataFolder.h"

#include <QStandardPaths>

namespace kavro::platform {

QString defaultDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Kavro");
}

} // namespace kavro::platform
