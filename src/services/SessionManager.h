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
class FileStore;
} // namespace kavro::platform

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
    static constexpr double kTickSeconds = 0.1;

    static inline const QString kHistoryFileName = QStringLiteral("sessions.json");

    // What went wrong while the constructor prepared the storage: the folder could not be
    // created, the history file could not be read. The manager works on in memory either
    // way; the owner reports them.
    struct OpeningProblems {
        std::optional<QString> folder;
        std::optional<QString> load;
    };

    // Keeps the history in `dataFolder` (created if missing), then loads it. Every file
    // operation goes through `files`.
    SessionManager(const platform::Clock& clock, platform::FileStore& files, QString dataFolder,
                   QObject* parent = nullptr);

    // <data folder>/sessions.json.
    static QString historyFileIn(const QString& dataFolder);
    const QString& historyFilePath() const { return m_historyFilePath; }
    const OpeningProblems& openingProblems() const { return m_openingProblems; }

    const std::optional<models::Session>& currentSession() const { return m_currentSession; }
    const QList<models::Session>& sessionHistory() const { return m_sessionHistory; }
    double readingSampleInterval() const { return kReadingSampleInterval; }

    // Starts a session, or renames the running one when the name differs.
    void startSession(const QString& dawName);
    // One fast tick of the running session: its highest levels, impulse counts and the
    // energetic mean, kept as a running energy sum rather than a list of levels. `seconds`
    // is the length of audio the level stands for (one tick's unless given).
    void updateStatistics(double dBA, double peakDBC, double peakDBA, double seconds = kTickSeconds);
    void addReading(double spl, double dBC, double dosePercentage);
    // Closes the running session with its share of the day's dose (the calculator's dose
    // now minus its mark at the start of the session), stores it at the front of the
    // history and saves. Gives the save's error; the session stays in the history anyway.
    [[nodiscard]] std::optional<QString> endSession(const DoseCalculator& doseCalculator);
    // The same with the two doses given as fractions (1.0 = the whole daily allowance).
    [[nodiscard]] std::optional<QString> endSession(double accumulatedDose, double sessionStartDose);

    // Removes every record with this id (the caller saves afterwards); the number removed.
    qsizetype removeSession(const QUuid& id);
    // Removes every completed session that started today (the dose-reset command).
    void removeTodaysSessions();

    // Creates the folder of the history file if it is missing. The error says why not.
    [[nodiscard]] std::optional<QString> createStorageFolder();
    // On failure the history in memory is unchanged and the error says why.
    [[nodiscard]] std::optional<QString> saveHistory();
    // A missing file is no error and changes nothing; an unreadable one empties the history.
    [[nodiscard]] std::optional<QString> loadHistory();

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
    // The save dialog; not owned. Without one, an export fails.
    void setDestinationChooser(platform::DestinationChooser* chooser) { m_destinationChooser = chooser; }

signals:
    void changed();
    // An export could not be written; `error` says why.
    void csvExportFailed(const QString& error);

private:
    void pruneOldSessions();
    std::optional<QString> keepUnreadableFile();

    const platform::Clock& m_clock;
    platform::FileStore& m_files;
    QString m_dataFolder;
    QString m_historyFilePath;
    OpeningProblems m_openingProblems;
    std::optional<models::Session> m_currentSession;
    QList<models::Session> m_sessionHistory;
    std::int64_t m_splSampleCount = 0;
    double m_energySum = 0;
    double m_measuredSeconds = 0;
    platform::DestinationChooser* m_destinationChooser = nullptr;
    // Set when the file on disk could not be read: the next save first moves it aside,
    // so a history the program failed to understand is never silently overwritten.
    bool m_keepUnreadableFileOnSave = false;
};

// Sum of `doseAccumulated` over the completed sessions that started on `day`.
double completedDoseOnDay(const QList<models::Session>& sessions, QDate day, const platform::Clock& clock);

} // namespace kavro::services
