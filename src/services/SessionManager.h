// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/Session.h"
#include "platform/Clock.h"
#include "platform/FileStore.h"
#include "services/SessionCheckpoint.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <variant>

namespace kavro::platform {
class DestinationChooser;
class WriterLock;
} // namespace kavro::platform

namespace kavro::services {

class DoseCalculator;

// Owns the running listening session and the history of completed ones: starts and
// ends sessions, keeps the running statistics of the current one, samples a reading a
// minute, keeps the history file, drops sessions older than 30 days and exports CSV.
//
// Nothing the user listened to is lost to a crash: the running session is written to a
// checkpoint file beside the history whenever the owner asks (at its start and with
// every reading), and a completed session that could not be saved into the history is
// kept there too until a save succeeds. The next launch recovers both.
class SessionManager : public QObject {
    Q_OBJECT

public:
    static constexpr double kReadingSampleInterval = 60.0;
    static constexpr int kRetentionDays = 30;
    static constexpr double kTickSeconds = 0.1;
    // How far a checkpoint may be dated after now and still be taken for this machine's
    // own: the wall clock may have been corrected a little since it was written. One
    // dated later was written by a clock that was wrong, and is set aside.
    static constexpr std::chrono::minutes kClockTolerance{10};

    static inline const QString kHistoryFileName = QStringLiteral("sessions.json");
    // The files in which a program that lost the folder to another keeps its sessions
    // (a checkpoint each), until a writer of the folder takes them into the history.
    static inline const QString kRescuePrefix = QStringLiteral("unsaved-sessions-");

    // What went wrong while the constructor prepared the storage: the folder could not be
    // created, the history file could not be read. The manager works on in memory either
    // way; the owner reports them.
    struct OpeningProblems {
        std::optional<QString> folder;
        // The files an earlier version left readable by others could not be made private.
        std::optional<QString> access;
        std::optional<QString> load;
    };

    // Keeps the history in `dataFolder` (created if missing, and like the files in it
    // readable by the user only), then loads it. Every file operation goes through `files`.
    SessionManager(const platform::Clock& clock, platform::FileStore& files, QString dataFolder,
                   QObject* parent = nullptr);

    // <data folder>/sessions.json.
    static QString historyFileIn(const QString& dataFolder);
    const QString& historyFilePath() const { return m_historyFilePath; }
    // <data folder>/running-session.json.
    static QString checkpointFileIn(const QString& dataFolder);
    const QString& checkpointFilePath() const { return m_checkpointFilePath; }
    const OpeningProblems& openingProblems() const { return m_openingProblems; }
    // The one-writer lock of the data folder; not owned. Every write into the folder
    // first makes sure it is still held: one that was lost and taken back brings in
    // what another program wrote meanwhile, and while another program holds it nothing
    // is written (the sessions stay in memory and the save says why). Without one,
    // writes go ahead unchecked.
    void setWriterLock(platform::WriterLock* lock) { m_writerLock = lock; }

    const std::optional<models::Session>& currentSession() const { return m_currentSession; }
    const QList<models::Session>& sessionHistory() const { return m_sessionHistory; }
    double readingSampleInterval() const { return kReadingSampleInterval; }

    // Starts a session, or renames the running one when the name differs.
    void startSession(const QString& dawName);
    // "Now" on the running session's own clock: its start plus the time that has passed
    // since, measured on the clock that never goes back. Its readings and its end are
    // dated by it, so none lies before its start when the wall clock is set back. The
    // wall clock's "now" when no session runs.
    QDateTime sessionNow() const;
    // One fast tick of the running session: its highest levels, impulse counts and the
    // energetic mean, kept as a running energy sum rather than a list of levels. `seconds`
    // is the length of audio the level stands for (one tick's unless given).
    void updateStatistics(double dBA, double peakDBC, double peakDBA, double seconds = kTickSeconds);
    void addReading(double spl, double dBC, double dosePercentage);
    // The input went away: the running session's time from now on is not measured,
    // until endUnmeasuredGap() or the session's end. Without a session, or within a gap
    // already, nothing changes.
    // The running session was measured (also) from an output: it keeps that source.
    void recordOutputSource(const models::Session::OutputSource& output);
    void beginUnmeasuredGap();
    // Adds the gap's length to the session's unmeasured time.
    void endUnmeasuredGap();
    bool inUnmeasuredGap() const { return m_gapStartedAt.has_value(); }
    // The calibration and input the running session is measured with; without a session
    // nothing changes.
    void setCalibration(const models::CalibrationRecord& calibration);
    // Closes the running session with its share of the day's dose (the calculator's dose
    // now minus its mark at the start of the session), stores it at the front of the
    // history and saves. Gives the save's error; the session stays in the history anyway.
    [[nodiscard]] std::optional<QString> endSession(const DoseCalculator& doseCalculator);
    // The same with the two doses given as fractions (1.0 = the whole daily allowance).
    [[nodiscard]] std::optional<QString> endSession(double accumulatedDose, double sessionStartDose);

    // Writes the checkpoint: the running session with the sums behind its average and the
    // day's dose (fractions) as they are now, and completed sessions not yet in the
    // history file. With neither, the file is removed.
    [[nodiscard]] std::optional<QString> saveCheckpoint(const DoseCalculator& doseCalculator);
    [[nodiscard]] std::optional<QString> saveCheckpoint(double accumulatedDose, double sessionStartDose);

    // What a checkpoint left by an earlier run holds.
    struct Recovery {
        // The session that was running; the owner resumes it or closes it.
        std::optional<SessionCheckpoint::Running> running;
        // The checkpoint could not be read (an undecodable one is moved aside), or the
        // completed sessions it held could not be saved into the history.
        std::optional<QString> problem;
    };
    // At launch: completed sessions that a previous run could not save, and those other
    // programs left in their own files, join the history and are saved now; a running
    // session that is already in the history is dropped.
    Recovery recoverCheckpoint();
    // Goes on with a recovered session: its record and sums as at the checkpoint, its
    // clock going on from the later of the checkpoint and now.
    void resumeSession(const SessionCheckpoint::Running& state);
    // Stores a recovered session as it stood at its checkpoint: ended then, with the dose
    // it had accrued by then. Gives the save's error.
    [[nodiscard]] std::optional<QString> closeRecoveredSession(const SessionCheckpoint::Running& state);

    // Removes every record with this id (the caller saves afterwards); the number removed.
    qsizetype removeSession(const QUuid& id);
    // Removes every completed session that started today (the dose-reset command).
    void removeTodaysSessions();

    // Creates the folder of the history file if it is missing. The error says why not.
    [[nodiscard]] std::optional<QString> createStorageFolder();
    // On failure the history in memory is unchanged and the error says why.
    [[nodiscard]] std::optional<QString> saveHistory();
    // A missing file is no error and changes nothing; an unreadable one empties the history.
    // Changes in memory that have not reached the file (a failed save) are never
    // replaced by the older file: they are saved first, and if that fails the file is not
    // read again (the history is only pruned) and the error says so.
    [[nodiscard]] std::optional<QString> loadHistory();
    // Ended or removed sessions that the history file does not reflect yet.
    bool hasUnsavedChanges() const { return m_historyUnsaved; }
    // Why the last save of the history failed; none once a save has succeeded.
    const std::optional<QString>& historySaveProblem() const { return m_historySaveProblem; }

    // Completed sessions that started today, in history order.
    QList<models::Session> todaysSessions() const;
    double todaysTotalDuration() const;
    QString todaysTotalDurationFormatted() const;
    // Sum of the dose of today's completed sessions, in percent.
    double todaysCompletedDose() const;

    QString csvString(const QList<models::Session>& sessions, bool withCriteria = false) const;
    // Builds the CSV, asks the destination chooser where to put it and writes it there.
    // A failure is reported by csvExportFailed(), possibly after this has returned.
    // With criteria, the criteria's columns follow the standard ones.
    void exportCSV(const QList<models::Session>& sessions, const QString& suggestedName,
                   bool withCriteria = false);
    // The save dialog; not owned. Without one, an export fails.
    void setDestinationChooser(platform::DestinationChooser* chooser) { m_destinationChooser = chooser; }

signals:
    void changed();
    // An export could not be written; `error` says why.
    void csvExportFailed(const QString& error);
    // Saving the history started failing, or succeeded again (historySaveProblem()).
    void historySaveProblemChanged();

private:
    // The other exposure criteria's share of one tick.
    static void addCriteria(models::Session& session, double dBA, double seconds);
    void pruneOldSessions();
    // Moves a file the program could not read aside (<path>.unreadable-<time>).
    std::optional<QString> keepUnreadableFile(const QString& path);
    bool inHistory(const QUuid& id) const;
    // Puts the sessions (newest first) that the history lacks at its front, as not yet
    // saved. Whether any was added.
    bool adoptUnsaved(const QList<models::Session>& sessions);
    // The checkpoint on disk. One that cannot be read, is not understood or is dated
    // after now is moved aside, and the problem is given instead.
    std::variant<SessionCheckpoint, platform::FileStore::Missing, QString> readCheckpoint();
    // Nothing when the folder may be written; otherwise why not.
    std::optional<QString> confirmWriter();
    // After the lock was taken back: the sessions another program saved into the folder
    // and its checkpoint join the history.
    void adoptWhatOthersWrote();
    void sortNewestFirst();
    // The completed sessions a checkpoint holds, its running one closed at its time.
    QList<models::Session> sessionsLeftIn(const SessionCheckpoint& checkpoint) const;
    // Takes in the sessions that other programs left in their own files; whether there
    // were any. The files go once the history is saved.
    bool adoptRescuedSessions();
    // The open gap's length so far, in seconds (0 without one).
    double openGapSeconds() const;
    std::optional<QString> writeCheckpoint(const std::optional<SessionCheckpoint::Running>& running);
    // Writes a checkpoint there, or removes the file when the checkpoint holds nothing.
    std::optional<QString> writeCheckpointFile(const QString& path, const SessionCheckpoint& checkpoint);
    // The checkpoint must follow a save that took sessions out of it.
    std::optional<QString> refreshCheckpoint();
    std::optional<QString> writeHistory();
    void setHistorySaveProblem(const std::optional<QString>& problem);

    const platform::Clock& m_clock;
    platform::FileStore& m_files;
    platform::WriterLock* m_writerLock = nullptr;
    QString m_dataFolder;
    QString m_historyFilePath;
    QString m_checkpointFilePath;
    OpeningProblems m_openingProblems;
    std::optional<models::Session> m_currentSession;
    QList<models::Session> m_sessionHistory;
    std::int64_t m_splSampleCount = 0;
    double m_energySum = 0;
    double m_measuredSeconds = 0;
    // Where the running session's clock starts on Clock::elapsed(): at its start, or
    // earlier by what had passed before the restart that resumed it.
    std::chrono::milliseconds m_sessionClockOrigin{0};
    // Where the open unmeasured gap began on Clock::elapsed().
    std::optional<std::chrono::milliseconds> m_gapStartedAt;
    platform::DestinationChooser* m_destinationChooser = nullptr;
    bool m_historyUnsaved = false;
    std::optional<QString> m_historySaveProblem;
    // Completed sessions whose save failed; they are kept in the checkpoint.
    QSet<QUuid> m_unsavedSessionIds;
    // What the checkpoint file holds of the running session, and whether it holds
    // completed sessions too.
    std::optional<SessionCheckpoint::Running> m_checkpointedRunning;
    bool m_checkpointHoldsUnsaved = false;
    // This program's own file for its sessions while another program writes the folder.
    QString m_rescueFilePath;
    QStringList m_adoptedRescueFiles;
    // Set when the file on disk could not be read, or only in part: the next save first
    // moves it aside, so sessions the program failed to understand are never silently
    // overwritten.
    bool m_keepUnreadableFileOnSave = false;
};

// Sum of `doseAccumulated` over the completed sessions that started on `day`.
double completedDoseOnDay(const QList<models::Session>& sessions, QDate day, const platform::Clock& clock);

} // namespace kavro::services
