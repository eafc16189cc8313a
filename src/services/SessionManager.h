#pragma once

#include "models/Session.h"
#include "platform/Clock.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace kavro::platform {
class DestinationChooser;
}

namespace kavro::services {

class DoseCalculator;

// Owns the running listening session and the history of completed ones: starts and
// ends sessions, keeps the running statistics of the current one, samples a reading a
// minute, keeps the history file, drops sessions older than 30 days and exports CSV.
class SessionManager : public QObject {
    Q_OBJECT

public:
    static constexpr double kReadingSampleInterval = 60.0;
    static constexpr int kRetentionDays = 30;

    // `historyFilePath` is normally defaultHistoryFilePath(); the folder is created if
    // missing, then the history is loaded.
    SessionManager(const platform::Clock& clock, QString historyFilePath, QObject* parent = nullptr);

    // <user data folder>/Kavro/sessions.json, $XDG_DATA_HOME/Kavro/sessions.json on Linux.
    static QString defaultHistoryFilePath();

    const std::optional<models::Session>& currentSession() const { return m_currentSession; }
    const QList<models::Session>& sessionHistory() const { return m_sessionHistory; }
    const QString& historyFilePath() const { return m_historyFilePath; }
    double readingSampleInterval() const { return kReadingSampleInterval; }

    // Starts a session, or renames the running one when the name differs.
    void startSession(const QString& dawName);
    // One fast tick of the running session: its highest levels, impulse counts and the
    // energetic mean, kept as a running energy sum rather than a list of levels.
    void updateStatistics(double dBA, double peakDBC, double peakDBA);
    void addReading(double spl, double dBC, double dosePercentage);
    // Closes the running session with its share of the day's dose (the calculator's dose
    // now minus its mark at the start of the session), stores it at the front of the
    // history and saves.
    void endSession(const DoseCalculator& doseCalculator);
    // The same with the two doses given as fractions (1.0 = the whole daily allowance).
    void endSession(double accumulatedDose, double sessionStartDose);

    // Removes every record with this id (the caller saves afterwards); the number removed.
    qsizetype removeSession(const QUuid& id);
    // Removes every completed session that started today (the dose-reset command).
    void removeTodaysSessions();

    void saveHistory();
    void loadHistory();

    // Completed sessions that started today, in history order.
    QList<models::Session> todaysSessions() const;
    double todaysTotalDuration() const;
    QString todaysTotalDurationFormatted() const;
    // Sum of the dose of today's completed sessions, in percent.
    double todaysCompletedDose() const;

    QString csvString(const QList<models::Session>& sessions) const;
    // Builds the CSV, asks the destination chooser where to put it and writes it there.
    // A failure is reported by csvExportFailed(), possibly after this has returned.
    void exportCSV(const QList<models::Session>& sessions, const QString& suggestedName);
    // The save dialog; not owned. Without one, an export reports that it failed.
    void setDestinationChooser(platform::DestinationChooser* chooser) { m_destinationChooser = chooser; }

signals:
    void changed();
    // An export could not be written; `error` says why.
    void csvExportFailed(const QString& error);

private:
    void pruneOldSessions();
    bool keepUnreadableFile();

    const platform::Clock& m_clock;
    QString m_historyFilePath;
    std::optional<models::Session> m_currentSession;
    QList<models::Session> m_sessionHistory;
    std::int64_t m_splSampleCount = 0;
    double m_energySum = 0;
    platform::DestinationChooser* m_destinationChooser = nullptr;
    // Set when the file on disk could not be read: the next save first moves it aside,
    // so a history the program failed to understand is never silently overwritten.
    bool m_keepUnreadableFileOnSave = false;
};

// Sum of `doseAccumulated` over the completed sessions that started on `day`.
double completedDoseOnDay(const QList<models::Session>& sessions, QDate day, const platform::Clock& clock);

} // namespace kavro::services
