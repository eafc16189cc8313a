// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kavro::models {

// What every Kavro program says about its version and its licence, for --version and
// at the end of --help: whoever packages or passes it on reads the terms there.

// "kavro-cli 0.1.0" followed by the licence lines.
QString versionText(const QString& programName);
// The licence in two lines: the GNU GPL, version 3 or later, and where its text is.
QString licenceText();

} // namespace kavro::models
