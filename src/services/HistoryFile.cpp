#include "services/HistoryFile.h"

#include "platform/file/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace kavro::services::historyfile {

ReadResult read(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return NotFound{};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    }
    auto decoded = decode(bytes);
    if (auto* error = std::get_if<QString>(&decoded)) {
        return *error;
    }
    return std::get<QList<models::Session>>(std::move(decoded));
}

std::variant<QList<models::Session>, QString> decode(const QByteArray& bytes) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        return QStringLiteral("not valid JSON (%1 at byte %2)").arg(parseError.errorString()).arg(parseError.offset);
    }
    if (!document.isArray()) {
        return QStringLiteral("the file does not hold a JSON array of sessions");
    }
    const QJsonArray array = document.array();
    QList<models::Session> sessions;
    sessions.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonValue value = array.at(i);
        if (!value.isObject()) {
            return QStringLiteral("session %1 is not a JSON object").arg(i);
        }
        auto session = models::Session::fromJson(value.toObject());
        if (auto* error = std::get_if<QString>(&session)) {
            return QStringLiteral("session %1: %2").arg(i).arg(*error);
        }
        sessions.append(std::get<models::Session>(std::move(session)));
    }
    return sessions;
}

std::variant<QByteArray, QString> encode(const QList<models::Session>& sessions) {
    QJsonArray array;
    for (const models::Session& session : sessions) {
        if (!session.hasOnlyFiniteNumbers()) {
            return QStringLiteral("session %1 holds a number that JSON cannot represent")
                .arg(session.id.toString(QUuid::WithoutBraces));
        }
        array.append(session.toJson());
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

std::optional<QString> write(const QString& path, const QList<models::Session>& sessions) {
    auto encoded = encode(sessions);
    if (auto* error = std::get_if<QString>(&encoded)) {
        return *error;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("cannot create the folder %1").arg(folder);
    }
    if (auto error = platform::writeFileAtomically(path, std::get<QByteArray>(encoded))) {
        return QStringLiteral("cannot write %1: %2").arg(path, *error);
    }
    return std::nullopt;
}

} // namespace kavro::services::historyfile
