// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/Session.h"
#include "services/HistoryRangeSelection.h"
#include "services/HistoryRangeStatistics.h"
#include "ui/history/HistoryModel.h"
#include "ui/presentation/HistoryCalendar.h"
#include "ui/presentation/HistoryChart.h"

#include <QLocale>
#include <QObject>
#include <QPointF>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

namespace kavro::core {
class AppState;
}

namespace kavro::ui {

// What the history window shows and what its controls do, without any widget: it keeps
// the window's own state (the range of days, the month shown, the hovered chart day, the
// day the keyboard is on, the session asked about), reads the history and today's live
// dose from the application state, words everything (HistoryModel) and carries out the
// commands. The numbers and the range rules are the history services'; this class only
// puts them together.
class HistoryPresenter : public QObject {
    Q_OBJECT
public:
    // While measurement runs the state changes ten times a second; the window looks at
    // it at most this often, and redraws only when the history or today's dose changed.
    static constexpr std::chrono::milliseconds kFollowInterval{250};

    enum class Preset { sevenDays, fourteenDays, thirtyDays, thisMonth };

    // The state must outlive the presenter. Days, times and months are written in `locale`.
    explicit HistoryPresenter(core::AppState& state, const QLocale& locale = QLocale(),
                              QObject* parent = nullptr);
    ~HistoryPresenter() override;
    HistoryPresenter(const HistoryPresenter&) = delete;
    HistoryPresenter& operator=(const HistoryPresenter&) = delete;

    HistoryModel model() const;
    HistoryModel::Calendar calendarModel() const;
    HistoryModel::Header headerModel() const;
    HistoryModel::Statistics statisticsModel() const;
    HistoryModel::Chart chartModel() const;
    HistoryModel::Sessions sessionsModel() const;

    const services::HistoryRangeSelection& selection() const { return *m_selection; }
    const services::HistoryRangeStatistics& statistics() const { return *m_statistics; }
    QDate focusedDay() const { return m_focusedDay; }
    std::optional<QDate> hoveredChartDay() const { return m_hoveredChartDay; }
    std::optional<QUuid> confirmingDelete() const { return m_confirmingDelete; }

    // A window that opens starts afresh: the last 7 days, the current month, nothing
    // hovered or asked.
    void reset();
    // Only a shown window follows the state; when it starts following again it catches
    // up at once.
    void setFollowing(bool following);
    bool isFollowing() const { return m_following; }

    // The calendar.
    void showPreviousMonth();
    void showNextMonth();
    void tapDay(QDate day);
    void applyPreset(Preset preset);
    // The measured width of the day grid, in pixels.
    void setGridWidth(double width);
    // The day under a point of the grid (pixels from its top left).
    std::optional<QDate> dayAt(QPointF location) const;
    // A drag across the grid from `start`, now at `location`.
    void dragCalendar(QPointF start, QPointF location);
    void endCalendarDrag();

    // The keyboard: arrows move the focused day (by a day or a week); with Shift they
    // extend the range from where the extension began. Enter taps the focused day and
    // Escape drops a first tap that waits for its second; it answers whether there was one.
    void moveFocus(int days, bool extendRange);
    void tapFocusedDay();
    bool cancelAnchor();

    // The chart.
    void hoverChartDay(std::optional<QDate> day);
    void clickChartDay(QDate day);

    // The sessions: deleting asks first, in the row.
    void askToDelete(const QUuid& id);
    void cancelDelete();
    void confirmDelete();

    // Proposes a file for the range's sessions and writes them there; a failure arrives
    // as exportFailed().
    // With criteria, the export has the criteria's columns after the standard ones.
    void exportCSV(bool withCriteria = false);

signals:
    // Something the model shows may have changed.
    void changed();
    // An export could not be written; `reason` says why. Nothing was exported.
    void exportFailed(const QString& reason);

private:
    // What the window shows besides the numbers; an action that leaves it as it was
    // and does not move the range announces nothing.
    struct ViewState {
        QDate rangeStart;
        QDate rangeEnd;
        std::optional<QDate> anchor;
        QDate displayedMonth;
        std::optional<QDate> hovered;
        QDate focused;
        std::optional<QUuid> confirming;
        friend bool operator==(const ViewState&, const ViewState&) = default;
    };
    ViewState viewState() const;
    // Runs an action of the user and announces what it changed.
    template <typename Action> void act(Action&& action);

    void stateChanged();
    void catchUp();
    bool stateMoved() const;
    void recompute();
    void showMonthOf(QDate day);
    void keepFocusInDisplayedMonth();
    HistoryModel::DayCell dayCell(QDate day) const;
    QString hint() const;

    core::AppState& m_state;
    QLocale m_locale;
    std::unique_ptr<services::HistoryRangeSelection> m_selection;
    std::unique_ptr<HistoryCalendar> m_calendar;
    double m_gridWidth = HistoryCalendar::kInitialGridWidth;

    // What the numbers were made from: the history (sharing its data, so any change to
    // the manager's list shows as different data), today's dose and the day.
    QList<models::Session> m_history;
    double m_liveDose = 0;
    QDate m_today;
    std::optional<services::HistoryRangeStatistics> m_statistics;
    std::optional<HistoryChart> m_chart;

    std::optional<QDate> m_hoveredChartDay;
    QDate m_focusedDay;
    // Where a Shift+arrow extension began.
    std::optional<QDate> m_keyboardOrigin;
    std::optional<QUuid> m_confirmingDelete;

    bool m_following = false;
    QTimer m_followTimer;
};

} // namespace kavro::ui
