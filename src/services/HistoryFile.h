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
// every date in ISO 8601 UTC. It is read whole; one bad record makes the whole file
// unreadable, since a partial history would silently lose sessions.
namespace historyfile {

using NotFound = platform::FileStore::Missing;
using ReadResult = std::variant<QList<models::Session>, NotFound, QString>;

// The error says why: the file could not be read (naming it) or not decoded (naming the
// session, the reading and the key where that applies).
ReadResult read(const platform::FileStore& files, const QString& path);
std::variant<QList<models::Session>, QString> decode(const QByteArray& bytes);
std::variant<QByteArray, QString> encode(const QList<models::Session>& sessions);

// Replaces the file atomically; the folder must exist.
std::optional<QString> write(platform::FileStore& files, const QString& path,
                             const QList<models::Session>& sessions);

} // namespace historyfile
} // namespace kavro::services
