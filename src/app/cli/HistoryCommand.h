// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::platform {
class Clock;
class FileStore;
class PreferencesStore;
} // namespace kavro::platform

namespace kavro::cli {

// Where `history` looks: the clock and calendar, the application's preferences (for
// today's dose), the files it reads and writes, and the history file used when --file
// is not given.
struct HistoryEnvironment {
    const platform::Clock& clock;
    const platform::PreferencesStore& preferences;
    platform::FileStore& files;
    QString defaultHistoryPath;
};

// kavro-cli history [--file PATH] list|stats|export: reads the session history the
// application keeps (never writes it) and lists, summarises or exports a range of days.
int runHistory(const QStringList& args, CommandContext& context);
int runHistory(const QStringList& args, CommandContext& context, const HistoryEnvironment& environment);

} // namespace kavro::cli
