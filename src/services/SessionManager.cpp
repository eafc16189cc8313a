// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/SessionManager.h"

#include "dsp/ExposureCriteria.h"
#include "dsp/ExposureLimits.h"
#include "models/CriteriaText.h"
#include "models/SessionCsv.h"
#include "platform/DestinationChooser.h"
#include "platform/FileStore.h"
#include "platform/WriterLock.h"
#include "services/DoseCalculator.h"
#include "services/HistoryFile.h"

#include <QPointer>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <utility>

namespace kavro::services {

using models::Session;

SessionManager::SessionManager(const platform::Clock& clock, platform::FileStore& files, QString dataFolder,
                               QObject* parent)
    : QObject(parent), m_clock(clock), m_files(files), m_dataFolder(std::move(dataFolder)),
      m_historyFilePath(historyFileIn(m_dataFolder)), m_checkpointFilePath(checkpointFileIn(m_dataFolder)) {
    // A folder that cannot be created is still used: later reads and writes report
    // their own errors.
    m_openingProblems.folder = createStorageFolder();
    // Earlier versions left the history readable by every user of the machine.
    for (const QString& path : {m_historyFilePath, m_checkpointFilePath}) {
        if (auto error = m_files.restrictToOwner(path)) {
            m_openingProblems.access = QStringLiteral("cannot make %1 private: %2").arg(path, *error);
        }
    }
    m_openingProblems.load = loadHistory();
}

QString SessionManager::historyFileIn(const QString& dataFolder) {
    return dataFolder + QLatin1Char('/') + kHistoryFileName;
}

QString SessionManager::checkpointFileIn(const QString& dataFolder) {
    return dataFolder + QLatin1Char('/') + SessionCheckpoint::kFileName;
}

std::optional<QString> SessionManager::createStorageFolder() {
    if (auto error = m_files.createFolder(m_dataFolder, platform::FileStore::Access::privateToUser)) {
        return QStringLiteral("cannot create %1: %2").arg(m_dataFolder, *error);
    }
    return std::nullopt;
}

void SessionManager::startSession(const QString& dawName) {
    if (m_currentSession) {
        if (m_currentSession->dawName == dawName) {
            return;
        }
        m_currentSession->dawName = dawName;
    } else {
        m_currentSession = Session::create(dawName, m_clock.now());
        m_sessionClockOrigin = m_clock.elapsed();
        m_gapStartedAt.reset();
        m_splSampleCount = 0;
        m_energySum = 0;
        m_measuredSeconds = 0;
    }
    emit changed();
}

QDateTime SessionManager::sessionNow() const {
    if (!m_currentSession) {
        return m_clock.now();
    }
    return m_currentSession->startDate.addMSecs((m_clock.elapsed() - m_sessionClockOrigin).count());
}

void SessionManager::updateStatistics(double dBA, double peakDBC, double peakDBA, double seconds) {
    // A level that is not a number is no measurement; in the record it would leave a
    // session, and with it the whole history, that no file can hold.
    if (!m_currentSession || !std::isfinite(dBA) || !std::isfinite(peakDBC) || !std::isfinite(peakDBA) ||
        !std::isfinite(seconds)) {
        return;
    }
    Session& session = *m_currentSession;
    if (dBA > session.peakSPL) {
        session.peakSPL = dBA;
    }
    if (peakDBC > session.peakDBC) {
        session.peakDBC = peakDBC;
    }
    if (peakDBC >= dsp::eu::kPeakLimitDbc) {
        ++session.peakCount140;
    }
    if (peakDBC >= dsp::eu::kPeakLowerActionDbc) {
        ++session.peakCount135;
    }
    if (peakDBA >= dsp::eu::kInstantaneousPeakDba) {
        ++session.peakDBACount115;
    }
    ++m_splSampleCount;
    // Weighing each level by the audio it stands for makes the average the session's
    // true LAeq, also when ticks carry more or less than their 0.1 s.
    if (seconds > 0.0) {
        addCriteria(session, dBA, seconds);
        m_energySum += std::pow(10.0, dBA / 10.0) * seconds;
        m_measuredSeconds += seconds;
    }
    if (m_measuredSeconds > 0.0) {
        session.averageSPL = 10.0 * std::log10(m_energySum / m_measuredSeconds);
    }
    emit changed();
}

void SessionManager::addCriteria(Session& session, double dBA, double seconds) {
    namespace criteria = dsp::criteria;
    session.soundExposure += criteria::soundExposurePa2h(dBA, seconds);
    session.oshaPelDose +=
        criteria::doseFraction(criteria::parameters(criteria::Criterion::oshaPel), dBA, seconds) * 100.0;
    session.oshaHearingConservationDose +=
        criteria::doseFraction(criteria::parameters(criteria::Criterion::oshaHearingConservation), dBA,
                               seconds) *
        100.0;
}

void SessionManager::addReading(double spl, double dBC, double dosePercentage) {
    if (!m_currentSession || !std::isfinite(spl) || !std::isfinite(dBC) || !std::isfinite(dosePercentage)) {
        return;
    }
    m_currentSession->readings.append(models::SPLReading{sessionNow(), spl, dosePercentage, dBC});
    emit changed();
}

void SessionManager::setCalibration(const models::CalibrationRecord& calibration) {
    if (m_currentSession) {
        m_currentSession->calibration = calibration;
    }
}

void SessionManager::recordOutputSource(const models::Session::OutputSource& output) {
    if (m_currentSession && m_currentSession->output != output) {
        m_currentSession->output = output;
        emit changed();
    }
}

void SessionManager::beginUnmeasuredGap() {
    if (m_currentSession && !m_gapStartedAt) {
        m_gapStartedAt = m_clock.elapsed();
    }
}

void SessionManager::endUnmeasuredGap() {
    if (!m_currentSession || !m_gapStartedAt) {
        return;
    }
    m_currentSession->unmeasuredSeconds += openGapSeconds();
    m_gapStartedAt.reset();
    emit changed();
}

double SessionManager::openGapSeconds() const {
    return m_gapStartedAt ? static_cast<double>((m_clock.elapsed() - *m_gapStartedAt).count()) / 1000.0 : 0.0;
}

std::optional<QString> SessionManager::endSession(const DoseCalculator& doseCalculator) {
    return endSession(doseCalculator.accumulatedDose(), doseCalculator.sessionStartDose());
}

std::optional<QString> SessionManager::endSession(double accumulatedDose, double sessionStartDose) {
    if (!m_currentSession) {
        return std::nullopt;
    }
    // A session that ends without its input has not been measured since it went away.
    endUnmeasuredGap();
    const QDateTime end = sessionNow();
    Session session = std::move(*m_currentSession);
    m_currentSession.reset();
    session.endDate = end;
    session.doseAccumulated = (accumulatedDose - sessionStartDose) * 100.0;
    const QUuid id = session.id;
    m_sessionHistory.prepend(std::move(session));
    m_historyUnsaved = true;
    pruneOldSessions();
    auto saveError = saveHistory();
    if (saveError && inHistory(id)) {
        m_unsavedSessionIds.insert(id);
    }
    // The session is in the history file now, or else kept in the checkpoint until it is.
    // Failing that too, the checkpoint of the running session stays: the next launch
    // stores it as it was a minute ago at most.
    (void)writeCheckpoint(std::nullopt);
    emit changed();
    return saveError;
}

qsizetype SessionManager::removeSession(const QUuid& id) {
    const qsizetype removed =
        m_sessionHistory.removeIf([&](const Session& session) { return session.id == id; });
    if (removed > 0) {
        m_historyUnsaved = true;
        emit changed();
    }
    return removed;
}

void SessionManager::removeTodaysSessions() {
    const qsizetype removed = m_sessionHistory.removeIf(
        [&](const Session& session) { return session.isCompleted() && m_clock.isToday(session.startDate); });
    if (removed > 0) {
        m_historyUnsaved = true;
        emit changed();
    }
}

void SessionManager::pruneOldSessions() {
    // Thirty calendar days back in the user's time zone: across a daylight-saving change
    // that is not 30 × 24 hours.
    const QDateTime cutoff = m_clock.now().toTimeZone(m_clock.timeZone()).addDays(-kRetentionDays);
    const qsizetype removed =
        m_sessionHistory.removeIf([&](const Session& session) { return !(session.startDate > cutoff); });
    if (removed > 0) {
        emit changed();
    }
}

std::optional<QString> SessionManager::keepUnreadableFile(const QString& path) {
    if (!m_files.exists(path)) {
        return std::nullopt;
    }
    const QString stamp = m_clock.now().toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString base = path + QStringLiteral(".unreadable-") + stamp;
    QString kept = base;
    for (int attempt = 2; m_files.exists(kept); ++attempt) {
        kept = base + QStringLiteral("-%1").arg(attempt);
    }
    if (auto error = m_files.rename(path, kept)) {
        return QStringLiteral("cannot keep the unreadable file %1 as %2: %3").arg(path, kept, *error);
    }
    return std::nullopt;
}

std::optional<QString> SessionManager::saveHistory() {
    std::optional<QString> error = writeHistory();
    setHistorySaveProblem(error);
    return error;
}

void SessionManager::setHistorySaveProblem(const std::optional<QString>& problem) {
    const bool changed = problem.has_value() != m_historySaveProblem.has_value();
    m_historySaveProblem = problem;
    if (changed) {
        emit historySaveProblemChanged();
    }
}

std::optional<QString> SessionManager::writeHistory() {
    if (auto error = confirmWriter()) {
        return error;
    }
    if (auto error = createStorageFolder()) {
        return error;
    }
    if (m_keepUnreadableFileOnSave) {
        if (auto error = keepUnreadableFile(m_historyFilePath)) {
            return error;
        }
        m_keepUnreadableFileOnSave = false;
    }
    if (auto error = historyfile::write(m_files, m_historyFilePath, m_sessionHistory)) {
        return error;
    }
    m_historyUnsaved = false;
    m_unsavedSessionIds.clear();
    // What other programs left for the next writer is in the history now.
    for (const QString& path : std::exchange(m_adoptedRescueFiles, {})) {
        (void)m_files.removeFile(path);
    }
    (void)refreshCheckpoint();
    return std::nullopt;
}

std::optional<QString> SessionManager::loadHistory() {
    if (m_historyUnsaved) {
        if (auto error = saveHistory()) {
            pruneOldSessions();
            return QStringLiteral("not read again, since changes to it could not be saved: %1").arg(*error);
        }
    }
    auto result = historyfile::read(m_files, m_historyFilePath);
    if (std::holds_alternative<historyfile::NotFound>(result)) {
        m_keepUnreadableFileOnSave = false;
        return std::nullopt;
    }
    if (auto* error = std::get_if<QString>(&result)) {
        m_keepUnreadableFileOnSave = true;
        m_sessionHistory.clear();
        emit changed();
        return *error;
    }
    auto& contents = std::get<historyfile::Contents>(result);
    // Sessions left out must not vanish with the next save: the file as it was is kept.
    m_keepUnreadableFileOnSave = !contents.leftOut.isEmpty();
    m_sessionHistory = std::move(contents.sessions);
    pruneOldSessions();
    emit changed();
    if (!contents.leftOut.isEmpty()) {
        return contents.leftOut.join(QStringLiteral("; "));
    }
    return std::nullopt;
}

bool SessionManager::inHistory(const QUuid& id) const {
    return std::any_of(m_sessionHistory.cbegin(), m_sessionHistory.cend(),
                       [&](const Session& session) { return session.id == id; });
}

std::optional<QString> SessionManager::saveCheckpoint(const DoseCalculator& doseCalculator) {
    return saveCheckpoint(doseCalculator.accumulatedDose(), doseCalculator.sessionStartDose());
}

std::optional<QString> SessionManager::saveCheckpoint(double accumulatedDose, double sessionStartDose) {
    if (!m_currentSession) {
        return writeCheckpoint(std::nullopt);
    }
    SessionCheckpoint::Running running;
    running.session = *m_currentSession;
    running.session.unmeasuredSeconds += openGapSeconds();
    running.savedAt = sessionNow();
    running.sampleCount = m_splSampleCount;
    running.energySum = m_energySum;
    running.measuredSeconds = m_measuredSeconds;
    running.accumulatedDose = accumulatedDose;
    running.sessionStartDose = sessionStartDose;
    return writeCheckpoint(running);
}

std::optional<QString>
SessionManager::writeCheckpoint(const std::optional<SessionCheckpoint::Running>& running) {
    SessionCheckpoint checkpoint;
    checkpoint.running = running;
    for (const Session& session : m_sessionHistory) {
        if (m_unsavedSessionIds.contains(session.id)) {
            checkpoint.unsaved.append(session);
        }
    }
    if (auto error = confirmWriter()) {
        // The folder's checkpoint belongs to the program that writes there now: this
        // program's sessions wait in a file of their own, which the next writer of the
        // folder takes in, also after this program has ended.
        if (m_rescueFilePath.isEmpty()) {
            m_rescueFilePath = m_dataFolder + QLatin1Char('/') + kRescuePrefix +
                               QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".json");
        }
        (void)writeCheckpointFile(m_rescueFilePath, checkpoint);
        return error;
    }
    if (auto error = writeCheckpointFile(m_checkpointFilePath, checkpoint)) {
        return error;
    }
    if (!m_rescueFilePath.isEmpty()) {
        (void)m_files.removeFile(m_rescueFilePath);
    }
    m_checkpointedRunning = running;
    m_checkpointHoldsUnsaved = !checkpoint.unsaved.isEmpty();
    return std::nullopt;
}

std::optional<QString> SessionManager::writeCheckpointFile(const QString& path,
                                                           const SessionCheckpoint& checkpoint) {
    if (checkpoint.isEmpty()) {
        if (auto error = m_files.removeFile(path)) {
            return QStringLiteral("cannot remove %1: %2").arg(path, *error);
        }
        return std::nullopt;
    }
    auto encoded = checkpoint.encode();
    if (const auto* error = std::get_if<QString>(&encoded)) {
        return *error;
    }
    if (auto error = m_files.writeFile(path, std::get<QByteArray>(encoded),
                                       platform::FileStore::Access::privateToUser)) {
        return QStringLiteral("cannot write %1: %2").arg(path, *error);
    }
    return std::nullopt;
}

std::optional<QString> SessionManager::refreshCheckpoint() {
    if (!m_checkpointHoldsUnsaved) {
        return std::nullopt;
    }
    // A session that ended while its checkpoint could not be removed is in the history now.
    if (m_checkpointedRunning && inHistory(m_checkpointedRunning->session.id)) {
        return writeCheckpoint(std::nullopt);
    }
    return writeCheckpoint(m_checkpointedRunning);
}

std::variant<SessionCheckpoint, platform::FileStore::Missing, QString> SessionManager::readCheckpoint() {
    auto read = m_files.readFile(m_checkpointFilePath);
    if (std::holds_alternative<platform::FileStore::Missing>(read)) {
        return platform::FileStore::Missing{};
    }
    QString problem;
    if (const auto* readError = std::get_if<QString>(&read)) {
        problem = QStringLiteral("cannot read %1: %2").arg(m_checkpointFilePath, *readError);
    } else {
        auto decoded = SessionCheckpoint::decode(std::get<QByteArray>(read));
        if (const auto* decodeError = std::get_if<QString>(&decoded)) {
            problem = QStringLiteral("cannot use %1: %2").arg(m_checkpointFilePath, *decodeError);
        } else {
            auto& checkpoint = std::get<SessionCheckpoint>(decoded);
            // A session dated years ahead would stay in the history for ever: no pruning
            // reaches it.
            const auto latest = checkpoint.latestDate();
            const QDateTime limit = m_clock.now().addSecs(
                std::chrono::duration_cast<std::chrono::seconds>(kClockTolerance).count());
            if (!latest || *latest <= limit) {
                return std::move(checkpoint);
            }
            problem = QStringLiteral("cannot use %1: it is dated %2, after now")
                          .arg(m_checkpointFilePath, latest->toUTC().toString(Qt::ISODate));
        }
    }
    if (auto keepError = keepUnreadableFile(m_checkpointFilePath)) {
        problem += QStringLiteral("; ") + *keepError;
    }
    return problem;
}

bool SessionManager::adoptUnsaved(const QList<Session>& sessions) {
    // Newest first, like the history: added from the oldest on, each at the front.
    bool added = false;
    for (auto it = sessions.crbegin(); it != sessions.crend(); ++it) {
        if (!inHistory(it->id)) {
            m_sessionHistory.prepend(*it);
            m_unsavedSessionIds.insert(it->id);
            added = true;
        }
    }
    return added;
}

SessionManager::Recovery SessionManager::recoverCheckpoint() {
    Recovery recovery;
    bool added = adoptRescuedSessions();
    auto read = readCheckpoint();
    if (auto* problem = std::get_if<QString>(&read)) {
        recovery.problem = std::move(*problem);
    }
    auto* checkpoint = std::get_if<SessionCheckpoint>(&read);
    if (checkpoint) {
        added = adoptUnsaved(checkpoint->unsaved) || added;
        m_checkpointHoldsUnsaved = !checkpoint->unsaved.isEmpty();
        if (checkpoint->running && !inHistory(checkpoint->running->session.id)) {
            recovery.running = std::move(checkpoint->running);
            m_checkpointedRunning = recovery.running;
        }
    }
    if (added) {
        sortNewestFirst();
        m_historyUnsaved = true;
        pruneOldSessions();
        if (auto error = saveHistory()) {
            recovery.problem = error;
        }
        emit changed();
    }
    if (!recovery.running && (checkpoint || added)) {
        (void)writeCheckpoint(std::nullopt);
    }
    return recovery;
}

void SessionManager::sortNewestFirst() {
    // Sessions of two programs that ran at the same time interleave by their start.
    std::stable_sort(
        m_sessionHistory.begin(), m_sessionHistory.end(),
        [](const Session& one, const Session& other) { return one.startDate > other.startDate; });
}

QList<Session> SessionManager::sessionsLeftIn(const SessionCheckpoint& checkpoint) const {
    QList<Session> sessions = checkpoint.unsaved;
    // This program's own running session is not closed from an old checkpoint of it.
    const auto& running = checkpoint.running;
    if (running && !(m_currentSession && m_currentSession->id == running->session.id)) {
        sessions.prepend(running->closedAtCheckpoint());
    }
    return sessions;
}

bool SessionManager::adoptRescuedSessions() {
    bool adopted = false;
    for (const QString& path : m_files.filesStartingWith(m_dataFolder, kRescuePrefix)) {
        if (path == m_rescueFilePath) {
            continue;
        }
        // One that cannot be read stays where it is, for a person to look at.
        auto read = m_files.readFile(path);
        const auto* bytes = std::get_if<QByteArray>(&read);
        if (!bytes) {
            continue;
        }
        const auto decoded = SessionCheckpoint::decode(*bytes);
        if (const auto* rescued = std::get_if<SessionCheckpoint>(&decoded)) {
            adoptUnsaved(sessionsLeftIn(*rescued));
            m_adoptedRescueFiles.append(path);
            adopted = true;
        }
    }
    return adopted;
}

std::optional<QString> SessionManager::confirmWriter() {
    if (!m_writerLock) {
        return std::nullopt;
    }
    const auto standing = m_writerLock->confirm();
    if (const auto* error = std::get_if<QString>(&standing)) {
        return *error;
    }
    if (std::get<platform::WriterLock::Standing>(standing) == platform::WriterLock::Standing::retaken) {
        adoptWhatOthersWrote();
    }
    return std::nullopt;
}

void SessionManager::adoptWhatOthersWrote() {
    bool added = false;
    auto history = historyfile::read(m_files, m_historyFilePath);
    if (std::holds_alternative<QString>(history)) {
        m_keepUnreadableFileOnSave = true;
    } else if (auto* contents = std::get_if<historyfile::Contents>(&history)) {
        m_keepUnreadableFileOnSave = m_keepUnreadableFileOnSave || !contents->leftOut.isEmpty();
        for (const Session& session : contents->sessions) {
            if (!inHistory(session.id) && !(m_currentSession && m_currentSession->id == session.id)) {
                m_sessionHistory.append(session);
                added = true;
            }
        }
    }
    // A program that wrote here and ended without ending its session left it in its
    // checkpoint.
    added = adoptRescuedSessions() || added;
    auto read = readCheckpoint();
    if (const auto* checkpoint = std::get_if<SessionCheckpoint>(&read)) {
        added = adoptUnsaved(sessionsLeftIn(*checkpoint)) || added;
        // The file on disk is not this program's checkpoint: the next save replaces it.
        m_checkpointHoldsUnsaved = true;
    }
    if (added) {
        sortNewestFirst();
        m_historyUnsaved = true;
        pruneOldSessions();
        emit changed();
    }
}

void SessionManager::resumeSession(const SessionCheckpoint::Running& state) {
    m_currentSession = state.session;
    m_currentSession->endDate.reset();
    m_gapStartedAt.reset();
    m_splSampleCount = state.sampleCount;
    m_energySum = state.energySum;
    m_measuredSeconds = state.measuredSeconds;
    // The session goes on at the wall-clock time of the restart, or at its checkpoint if
    // the clock was set back since.
    const QDateTime& start = m_currentSession->startDate;
    const qint64 sinceStart =
        std::max<qint64>({0, start.msecsTo(state.savedAt), start.msecsTo(m_clock.now())});
    m_sessionClockOrigin = m_clock.elapsed() - std::chrono::milliseconds(sinceStart);
    emit changed();
}

std::optional<QString> SessionManager::closeRecoveredSession(const SessionCheckpoint::Running& state) {
    const Session closed = state.closedAtCheckpoint();
    std::optional<QString> saveError;
    if (!inHistory(closed.id)) {
        m_sessionHistory.prepend(closed);
        m_historyUnsaved = true;
        pruneOldSessions();
        saveError = saveHistory();
        if (saveError && inHistory(closed.id)) {
            m_unsavedSessionIds.insert(closed.id);
        }
        emit changed();
    }
    (void)writeCheckpoint(std::nullopt);
    return saveError;
}

QList<Session> SessionManager::todaysSessions() const {
    QList<Session> today;
    for (const Session& session : m_sessionHistory) {
        if (m_clock.isToday(session.startDate)) {
            today.append(session);
        }
    }
    return today;
}

double SessionManager::todaysTotalDuration() const {
    const QDateTime now = m_clock.now();
    double total = 0;
    for (const Session& session : m_sessionHistory) {
        if (m_clock.isToday(session.startDate)) {
            total += session.durationSeconds(now);
        }
    }
    return total;
}

QString SessionManager::todaysTotalDurationFormatted() const {
    return models::hoursAndMinutesText(static_cast<std::int64_t>(todaysTotalDuration()));
}

double SessionManager::todaysCompletedDose() const {
    return completedDoseOnDay(m_sessionHistory, m_clock.today(), m_clock);
}

QString SessionManager::csvString(const QList<Session>& sessions, bool withCriteria) const {
    return models::csv::csvString(
        sessions, {m_clock.timeZone(), m_clock.now(), m_clock.dayStartMinutes(),
                   withCriteria ? models::csv::extendedColumns() : QList<models::csv::ExtraColumn>{}});
}

void SessionManager::exportCSV(const QList<Session>& sessions, const QString& suggestedName,
                               bool withCriteria) {
    if (sessions.isEmpty()) {
        return;
    }
    const QString text = csvString(sessions, withCriteria);
    if (!m_destinationChooser) {
        emit csvExportFailed(QStringLiteral("no save dialog is available"));
        return;
    }
    // The choice may come back after this manager is gone; then nothing is written.
    QPointer<SessionManager> self(this);
    m_destinationChooser->chooseDestination(
        suggestedName, QStringLiteral("csv"), [self, text](std::optional<QString> path) {
            if (!self || !path) {
                return;
            }
            if (auto error =
                    self->m_files.writeFile(*path, text.toUtf8(), platform::FileStore::Access::userDefault)) {
                emit self->csvExportFailed(*error);
            }
        });
}

double completedDoseOnDay(const QList<Session>& sessions, QDate day, const platform::Clock& clock) {
    double total = 0;
    for (const Session& session : sessions) {
        if (session.isCompleted() && clock.dayOf(session.startDate) == day) {
            total += session.doseAccumulated;
        }
    }
    return total;
}

} // namespace kavro::services
