#include "services/HistoryFile.h"

#include "platform/file/AtomicFile.h"

#include "models/JsonReader.h"
#include "models/JsonWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    models::JsonReader reader(bytes);
    if (reader.peek() != models::JsonReader::Type::array) {
        return QStringLiteral("the file does not hold a JSON array of sessions");
    }
    QList<models::Session> sessions;
    reader.beginArray();
    for (int index = 0; reader.nextElement(); ++index) {
        auto session = models::Session::readJson(reader);
        if (!session) {
            reader.addErrorContext(QStringLiteral("session %1: ").arg(index));
            return reader.error();
        }
        sessions.append(std::move(*session));
    }
    if (!reader.finish()) {
        return reader.error();
    }
    return sessions;
}

std::variant<QByteArray, QString> encode(const QList<models::Session>& sessions) {
    models::JsonWriter writer;
    writer.beginArray();
    for (const models::Session& session : sessions) {
        session.writeJson(writer);
        if (!writer.ok()) {
            return QStringLiteral("session %1 holds a number that JSON cannot represent")
                .arg(session.id.toString(QUuid::WithoutBraces));
        }
    }
    writer.endArray();
    QByteArray bytes = writer.take();
    bytes.append('\n');
    return bytes;
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
