#pragma once

#include "models/Session.h"

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

struct NotFound {};
using ReadResult = std::variant<QList<models::Session>, NotFound, QString>;

ReadResult read(const QString& path);
std::variant<QList<models::Session>, QString> decode(const QByteArray& bytes);
std::variant<QByteArray, QString> encode(const QList<models::Session>& sessions);

// Creates the folder if it is missing and replaces the file atomically.
std::optional<QString> write(const QString& path, const QList<models::Session>& sessions);

} // namespace historyfile
} // namespace kavro::services
