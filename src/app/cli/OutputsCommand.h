// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/CommandLine.h"

namespace kavro::services {
class OutputSource;
}

namespace kavro::cli {

int runOutputs(const QStringList& args, CommandContext& context);

// Connects the source's tap and chooses the named output (empty: the default output,
// followed as the user switches it). Returns the exit code to end with when there is no
// sound server or no such output, or none.
std::optional<int> selectOutput(const QString& name, services::OutputSource& source, CommandContext& context);

// "--output" may stand without a name: rewrites it so that the parser sees an empty value.
QStringList withOutputValue(QStringList args);

} // namespace kavro::cli
