// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kavro::platform {

// The application's reverse-DNS id: the name of its desktop entry and icons, and its
// name on the session bus. Defined once, in the top-level CMakeLists.txt, which also
// names the installed files after it.
inline QString applicationId() {
    return QStringLiteral(KAVRO_APPLICATION_ID);
}

} // namespace kavro::platform
