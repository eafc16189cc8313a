#include "services/HistoryFile.h"

#include "models/IndentedJsonWriter.h"

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
    return std::get<QList<models::Session>>(std::move(decoded));
}

std::variant<QList<models::Session>, QString> decode(const QByteArray& bytes) {
    // Qt's parser limits how deeply arrays and objects nest, so a file of endless
    // brackets is an error like any other, not a stack overflow.
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return QStringLiteral("not valid JSON: %1 at byte %2")
            .arg(parseError.errorString())
            .arg(parseError.offset);
    }
    if (!document.isArray()) {
        return QStringLiteral("the file does not hold a JSON array of sessions");
    }
    const QJsonArray array = document.array();
    QList<models::Session> sessions;
    sessions.reserve(array.size());
    for (qsizetype index = 0; index < array.size(); ++index) {
        const QJsonValue value = array.at(index);
        if (!value.isObject()) {
            return QStringLiteral("session %1: not an object").arg(index);
        }
        auto session = models::Session::fromJson(value.toObject());
        if (auto* error = std::get_if<QString>(&session)) {
            return QStringLiteral("session %1: %2").arg(index).arg(*error);
        }
        sessions.append(std::get<models::Session>(std::move(session)));
    }
    return sessions;
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
    if (auto error = files.writeFile(path, std::get<QByteArray>(encoded))) {
        return QStringLiteral("cannot write %1: %2").arg(path, *error);
    }
    return std::nullopt;
}

} // namespace kavro::services::historyfile
