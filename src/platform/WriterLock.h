// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <variant>

namespace kavro::platform {

// The right to write the history of a data folder, held by one program at a time. It can
// be lost while the program runs: the folder, or only its lock file, removed by hand,
// after which another program may start on the same folder. Whoever writes asks first.
class WriterLock {
public:
    enum class Standing {
        // Still this program's, as it was.
        held,
        // It had been lost and no one else had it, so it is this program's again; another
        // program may have written to the folder in between.
        retaken,
    };

    virtual ~WriterLock() = default;

    // The error says who holds it now, or why it cannot be checked or taken back; the
    // caller then writes nothing into the folder.
    virtual std::variant<Standing, QString> confirm() = 0;
};

} // namespace kavro::platform
