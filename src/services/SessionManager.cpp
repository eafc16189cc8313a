#include "services/SessionManager.h"

#include "dsp/ExposureLimits.h"
#include "models/SessionCsv.h"
#include "platform/DestinationChooser.h"
#include "platform/FileStore.h"
#include "services/DoseCalculator.h"
#include "services/HistoryFile.h"

#include <QPointer>

#include <cmath>

namespace kavro::services {

using models::Session;

SessionManager::SessionManager(const platform::Clock& clock, platform::FileStore& files, QString dataFolder,
                               QObject* parent)
    : QObject(parent), m_clock(clock), m_files(files), m_dataFolder(std::move(dataFolder)),
      m_historyFilePath(historyFileIn(m_dataFolder)) {
    // A folder that cannot be created is still used: later reads and writes report
    // their own errors.
    m_openingProblems.folder = createStorageFolder();
    m_openingProblems.load = loadHistory();
}

QString SessionManager::historyFileIn(const QString& dataFolder) {
    return dataFolder + QLatin1Char('/') + kHistoryFileName;
}

std::optional<QString> SessionManager::createStorageFolder() {
    if (auto error = m_files.createFolder(m_dataFolder)) {
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
        m_splSampleCount = 0;
        m_energySum = 0;
        m_measuredSeconds = 0;
    }
    emit changed();
}

void SessionManager::updateStatistics(double dBA, double peakDBC, double peakDBA, double seconds) {
    if (!m_currentSession) {
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
        m_energySum += std::pow(10.0, dBA / 10.0) * seconds;
        m_measuredSeconds += seconds;
    }
    if (m_measuredSeconds > 0.0) {
        session.averageSPL = 10.0 * std::log10(m_energySum / m_measuredSeconds);
    }
    emit changed();
}

void SessionManager::addReading(double spl, double dBC, double dosePercentage) {
    if (!m_currentSession) {
        return;
    }
    m_currentSession->readings.append(models::SPLReading{m_clock.now(), spl, dosePercentage, dBC});
    emit changed();
}

std::optional<QString> SessionManager::endSession(const DoseCalculator& doseCalculator) {
    return endSession(doseCalculator.accumulatedDose(), doseCalculator.sessionStartDose());
}

std::optional<QString> SessionManager::endSession(double accumulatedDose, double sessionStartDose) {
    if (!m_currentSession) {
        return std::nullopt;
    }
    Session session = std::move(*m_currentSession);
    session.endDate = m_clock.now();
    session.doseAccumulated = (accumulatedDose - sessionStartDose) * 100.0;
    m_sessionHistory.prepend(std::move(session));
    pruneOldSessions();
    auto saveError = saveHistory();
    m_currentSession.reset();
    emit changed();
    return saveError;
}

qsizetype SessionManager::removeSession(const QUuid& id) {
    const qsizetype removed =
        m_sessionHistory.removeIf([&](const Session& session) { return session.id == id; });
    if (removed > 0) {
        emit changed();
    }
    return removed;
}

void SessionManager::removeTodaysSessions() {
    const qsizetype removed = m_sessionHistory.removeIf(
        [&](const Session& session) { return session.isCompleted() && m_clock.isToday(session.startDate); });
    if (removed > 0) {
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

std::optional<QString> SessionManager::keepUnreadableFile() {
    if (!m_files.exists(m_historyFilePath)) {
        return std::nullopt;
    }
    const QString stamp = m_clock.now().toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    const QString base = m_historyFilePath + QStringLiteral(".unreadable-") + stamp;
    QString kept = base;
    for (int attempt = 2; m_files.exists(kept); ++attempt) {
        kept = base + QStringLiteral("-%1").arg(attempt);
    }
    if (auto error = m_files.rename(m_historyFilePath, kept)) {
        return QStringLiteral("cannot keep the unreadable history file as %1: %2").arg(kept, *error);
    }
    return std::nullopt;
}

std::optional<QString> SessionManager::saveHistory() {
    if (auto error = createStorageFolder()) {
        return error;
    }
    if (m_keepUnreadableFileOnSave) {
        if (auto error = keepUnreadableFile()) {
            return error;
        }
        m_keepUnreadableFileOnSave = false;
    }
    return historyfile::write(m_files, m_historyFilePath, m_sessionHistory);
}

std::optional<QString> SessionManager::loadHistory() {
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
    m_keepUnreadableFileOnSave = false;
    m_sessionHistory = std::get<QList<Session>>(std::move(result));
    pruneOldSessions();
    emit changed();
    return std::nullopt;
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

QString SessionManager::csvString(const QList<Session>& sessions) const {
    return models::csv::csvString(sessions, m_clock.timeZone(), m_clock.now());
}

void SessionManager::exportCSV(const QList<Session>& sessions, const QString& suggestedName) {
    if (sessions.isEmpty()) {
        return;
    }
    const QString text = csvString(sessions);
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
            if (auto error = self->m_files.writeFile(*path, text.toUtf8())) {
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
