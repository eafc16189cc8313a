// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTextStream>

namespace kavro::testsupport {

// What one run of a kavro-cli command printed and returned.
struct CommandRun {
    int exitCode = -1;
    QString out;
    QString err;

    QStringList lines() const { return out.split('\n', Qt::SkipEmptyParts); }
    QJsonObject json() const { return QJsonDocument::fromJson(out.toUtf8()).object(); }
};

// Runs a command (anything called as command(args, context)) with its standard output
// and error caught in strings.
template <typename Command>
CommandRun runCommand(Command&& command, const QStringList& args,
                      platform::PreferencesStore* preferences = nullptr,
                      platform::AudioBackend* audioBackend = nullptr) {
    CommandRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    cli::CommandContext context{out, err, false, preferences, audioBackend};
    run.exitCode = command(args, context);
    out.flush();
    err.flush();
    return run;
}

} // namespace kavro::testsupport
