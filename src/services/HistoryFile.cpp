// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/HistoryFile.h"

#include "models/IndentedJsonWriter.h"
#include "models/JsonFields.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace kavro::services::historyfile {

ReadResult read(const platform::FileStore& files, const QString& path) {
    auto bytes = files.readFile(path);
    if (std::holds_alternative<NotFound>(bytes)) {
        return NotFound{};
    }
    if (auto* error = std::get_if<QString>(&bytes)) {
        return QStringLiteral("cannot read %1: %2").arg(path, *error);
    }
    auto decoded = decode(std::get<QByteArray>(bytes));
    if (auto* error = std::get_if<QString>(&decoded)) {
        return *error;
    }
    return std::get<Contents>(std::move(decoded));
}

std::optional<QString> unwritableDate(const models::Session& session) {
    using models::IndentedJsonWriter;
    if (!IndentedJsonWriter::canWriteDate(session.startDate)) {
        return QStringLiteral("its startDate");
    }
    if (session.endDate && !IndentedJsonWriter::canWriteDate(*session.endDate)) {
        return QStringLiteral("its endDate");
    }
    for (qsizetype index = 0; index < session.readings.size(); ++index) {
        if (!IndentedJsonWriter::canWriteDate(session.readings.at(index).timestamp)) {
            return QStringLiteral("the timestamp of its reading %1").arg(index);
        }
    }
    return std::nullopt;
}

std::variant<Contents, QString> decode(const QByteArray& bytes) {
    auto parsed = models::JsonFields::parseDocument(bytes);
    if (auto* error = std::get_if<QString>(&parsed)) {
        return *error;
    }
    const QJsonDocument& document = std::get<QJsonDocument>(parsed);
    if (!document.isArray()) {
        return QStringLiteral("the file does not hold a JSON array of sessions");
    }
    const QJsonArray array = document.array();
    Contents contents;
    contents.sessions.reserve(array.size());
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QJsonValue value = array.at(index);
        if (!value.isObject()) {
            return QStringLiteral("session %1: not an object").arg(index);
        }
        auto session = models::Session::fromJson(value.toObject());
        if (auto* error = std::get_if<QString>(&session)) {
            return QStringLiteral("session %1: %2").arg(index).arg(*error);
        }
        auto& decoded = std::get<models::Session>(session);
        if (const auto date = unwritableDate(decoded)) {
            contents.leftOut.append(
                QStringLiteral("session %1 (%2) left out: %3 lies outside the years 1 to 9999")
                    .arg(index)
                    .arg(decoded.id.toString(QUuid::WithoutBraces).toUpper(), *date));
            continue;
        }
        contents.sessions.append(std::move(decoded));
    }
    return contents;
}

std::variant<QByteArray, QString> encode(const QList<models::Session>& sessions) {
    models::IndentedJsonWriter writer;
    writer.beginArray();
    for (const models::Session& session : sessions) {
        session.writeJson(writer);
        if (!writer.ok()) {
            return QStringLiteral("session %1 holds a value the history file cannot represent")
                .arg(session.id.toString(QUuid::WithoutBraces));
        }
    }
    writer.endArray();
    QByteArray bytes = writer.take();
    bytes.append('\n');
    return bytes;
}

std::optional<QString> write(platform::FileStore& files, const QString& path,
                             const QList<models::Session>& sessions) {
    auto encoded = encode(sessions);
    if (auto* error = std::get_if<QString>(&encoded)) {
        return *error;
    }
    if (auto error = files.writeFile(path, std::get<QByteArray>(encoded),
                                     platform::FileStore::Access::privateToUser)) {
        return QStringLiteral("cannot write %1: %2").arg(path, *error);
    }
    return std::nullopt;
}

} // namespace kavro::services::historyfile
