// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kavro::ui {

// What the program knows of its own build, for the About section: set when it is built
// (the project version, the git revision, and the maker's addresses when given).
struct BuildInfo {
    QString version;  // "0.1.0"
    QString revision; // short git hash; empty outside a git checkout
    QString website;  // empty when the build gave none
    QString contact;  // an e-mail address; empty when the build gave none

    static BuildInfo current();
};

} // namespace kavro::ui
