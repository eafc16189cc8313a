// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/BuildInfo.h"

#include "KavroBuildInfo.h"

namespace kavro::ui {

BuildInfo BuildInfo::current() {
    return {QStringLiteral(KAVRO_BUILD_VERSION), QStringLiteral(KAVRO_BUILD_REVISION),
            QStringLiteral(KAVRO_BUILD_WEBSITE), QStringLiteral(KAVRO_BUILD_CONTACT)};
}

} // namespace kavro::ui
