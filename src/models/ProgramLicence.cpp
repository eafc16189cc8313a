// SPDX-License-Identifier: GPL-3.0-or-later
#include "models/ProgramLicence.h"

namespace kavro::models {

QString versionText(const QString& programName) {
    return programName + QStringLiteral(" " KAVRO_VERSION "\n") + licenceText();
}

QString licenceText() {
    return QStringLiteral(
        "Kavro is free software under the GNU GPL, version 3 or later (the LICENSE file of its\n"
        "source): you may share and change it on those terms. It comes with no warranty.\n");
}

} // namespace kavro::models
