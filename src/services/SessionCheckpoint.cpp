// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/SessionCheckpoint.h"

#include "models/IndentedJsonWriter.h"
#include "models/JsonFields.h"
#include "services/HistoryFile.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>

namespace kavro::services {

namespace {

QString sessionName(const models::Session& session) {
    return session.id.toString(QUuid::WithoutBraces).toUpper();
}

std::variant<models::Session, QString> decodeSession(const QJsonValue& value) {
    if (!value.isObject()) {
        return QStringLiteral("not an object");
    }
    auto session = models::Session::fromJson(value.toObject());
    if (const auto* decoded = std::get_if<models::Session>(&session)) {
        if (const auto date = historyfile::unwritableDate(*decoded)) {
            return QStringLiteral("%1 lies outside the years 1 to 9999").arg(*date);
        }
    }
    return session;
}

void keepLater(std::optional<QDateTime>& latest, const QDateTime& date) {
    if (!latest || date > *latest) {
        latest = date;
    }
}

void keepLatestOf(std::optional<QDateTime>& latest, const models::Session& session) {
    keepLater(latest, session.startDate);
    if (session.endDate) {
        keepLater(latest, *session.endDate);
    }
    for (const models::SPLReading& reading : session.readings) {
        keepLater(latest, reading.timestamp);
    }
}

} // namespace

std::optional<QDateTime> SessionCheckpoint::latestDate() const {
    std::optional<QDateTime> latest;
    if (running) {
        keepLater(latest, running->savedAt);
        keepLatestOf(latest, running->session);
    }
    for (const models::Session& session : unsaved) {
        keepLatestOf(latest, session);
    }
    return latest;
}

models::Session SessionCheckpoint::Running::closedAtCheckpoint() const {
    models::Session closed = session;
    closed.endDate = std::max(savedAt, session.startDate);
    closed.doseAccumulated = (accumulatedDose - sessionStartDose) * 100.0;
    return closed;
}

std::variant<QByteArray, QString> SessionCheckpoint::encode() const {
    models::IndentedJsonWriter writer;
    writer.beginObject();
    if (running) {
        writer.key("running");
        writer.beginObject();
        writer.key("savedAt");
        writer.value(running->savedAt);
        writer.key("session");
        running->session.writeJson(writer);
        writer.key("splSampleCount");
        writer.value(running->sampleCount);
        writer.key("energySum");
        writer.value(running->energySum);
        writer.key("measuredSeconds");
        writer.value(running->measuredSeconds);
        writer.key("accumulatedDose");
        writer.value(running->accumulatedDose);
        writer.key("sessionStartDose");
        writer.value(running->sessionStartDose);
        writer.endObject();
        if (!writer.ok()) {
            return QStringLiteral("the running session %1 holds a value the file cannot represent")
                .arg(sessionName(running->session));
        }
    }
    writer.key("unsaved");
    writer.beginArray();
    for (const models::Session& session : unsaved) {
        session.writeJson(writer);
        if (!writer.ok()) {
            return QStringLiteral("session %1 holds a value the file cannot represent")
                .arg(sessionName(session));
        }
    }
    writer.endArray();
    writer.endObject();
    QByteArray bytes = writer.take();
    bytes.append('\n');
    return bytes;
}

std::variant<SessionCheckpoint, QString> SessionCheckpoint::decode(const QByteArray& bytes) {
    auto parsed = models::JsonFields::parseDocument(bytes);
    if (auto* error = std::get_if<QString>(&parsed)) {
        return *error;
    }
    const QJsonDocument& document = std::get<QJsonDocument>(parsed);
    if (!document.isObject()) {
        return QStringLiteral("the file does not hold a JSON object");
    }
    const QJsonObject object = document.object();
    SessionCheckpoint checkpoint;
    if (const QJsonValue running = object.value(QLatin1String("running")); !running.isUndefined()) {
        if (!running.isObject()) {
            return QStringLiteral("the running session: not an object");
        }
        models::JsonFields fields(running.toObject());
        Running state;
        const auto savedAt = fields.date(QLatin1String("savedAt"));
        state.sampleCount = fields.optionalCount(QLatin1String("splSampleCount"));
        const auto energySum = fields.number(QLatin1String("energySum"));
        const auto measuredSeconds = fields.number(QLatin1String("measuredSeconds"));
        const auto accumulatedDose = fields.number(QLatin1String("accumulatedDose"));
        const auto sessionStartDose = fields.number(QLatin1String("sessionStartDose"));
        if (fields.failed()) {
            return QStringLiteral("the running session: %1").arg(fields.error());
        }
        auto session = decodeSession(running.toObject().value(QLatin1String("session")));
        if (const auto* error = std::get_if<QString>(&session)) {
            return QStringLiteral("the running session: %1").arg(*error);
        }
        state.session = std::get<models::Session>(std::move(session));
        state.session.endDate.reset();
        state.savedAt = *savedAt;
        state.energySum = *energySum;
        state.measuredSeconds = *measuredSeconds;
        state.accumulatedDose = *accumulatedDose;
        state.sessionStartDose = *sessionStartDose;
        checkpoint.running = std::move(state);
    }
    const QJsonArray unsaved = object.value(QLatin1String("unsaved")).toArray();
    for (qsizetype index = 0; index < unsaved.size(); ++index) {
        auto session = decodeSession(unsaved.at(index));
        if (const auto* error = std::get_if<QString>(&session)) {
            return QStringLiteral("unsaved session %1: %2").arg(index).arg(*error);
        }
        checkpoint.unsaved.append(std::get<models::Session>(std::move(session)));
    }
    return checkpoint;
}

} // namespace kavro::services
