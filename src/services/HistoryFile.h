// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/Session.h"
#include "platform/FileStore.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace kavro::services {

// The session history file: one indented JSON array of sessions, newest first, with
// every date in ISO 8601 UTC. It is read whole; one malformed record makes the whole file
// unreadable, since a partial history would silently lose sessions. A well-formed record
// with a date the file cannot hold (a year beyond 1 to 9999 in UTC, reached through a
// time-zone offset) is left out and named instead: written back, it would no longer
// read as the same moment.
namespace historyfile {

using NotFound = platform::FileStore::Missing;

struct Contents {
    QList<models::Session> sessions;
    // One line for each session left out, naming it and the date.
    QStringList leftOut;
};
using ReadResult = std::variant<Contents, NotFound, QString>;

// The error says why: the file could not be read (naming it) or not decoded (naming the
// session, the reading and the key where that applies).
ReadResult read(const platform::FileStore& files, const QString& path);
std::variant<Contents, QString> decode(const QByteArray& bytes);
std::variant<QByteArray, QString> encode(const QList<models::Session>& sessions);

// The first of a session's dates the file cannot hold, in words ("its endDate"); none
// when every date can be written.
std::optional<QString> unwritableDate(const models::Session& session);

// Replaces the file atomically; the folder must exist.
std::optional<QString> write(platform::FileStore& files, const QString& path,
                             const QList<models::Session>& sessions);

} // namespace historyfile
} // namespace kavro::services
