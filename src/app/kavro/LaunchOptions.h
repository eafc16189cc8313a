// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <variant>

namespace kavro::app {

// What `kavro` was asked to do on its command line.
struct LaunchOptions {
    bool headless = false;
    // A sound file played in real time as the microphone; empty for the real input.
    QString inputFile;
    bool loop = false;
    // Where to keep the dose, history and preferences; empty for the user's own
    // folders (or, with an input file, a temporary folder).
    QString dataDir;

    struct Help {};
    struct Version {};
    // The parsed options, a request for help or the version, or a one-line usage error.
    static std::variant<LaunchOptions, Help, Version, QString> parse(const QStringList& arguments);
    static const char* usage();
};

} // namespace kavro::app
