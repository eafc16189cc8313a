// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/AfterThisTurn.h"
#include "ui/history/HistoryModel.h"

#include <QWidget>

#include <memory>

namespace kavro::core {
class AppState;
}
namespace kavro::platform {
class DestinationChooser;
}

namespace kavro::ui {

class CalendarPanel;
class HistoryPresenter;
class SummaryPanel;

// The content of the History window: the calendar on the left, the summary of the
// selected days on the right. It opens on the last 7 days each time it is shown, follows
// the application state while it is shown (a few times a second at most) and does no
// work while hidden. Exports go through `chooser`, or through a save dialog of its own
// when none is given; a failed export is shown in a message box with its reason.
class HistoryWindowContent : public QWidget {
    Q_OBJECT
public:
    // The state (and the chooser, when given) must outlive the content.
    explicit HistoryWindowContent(core::AppState& state, platform::DestinationChooser* chooser = nullptr,
                                  QWidget* parent = nullptr);
    ~HistoryWindowContent() override;

    HistoryPresenter& presenter() const { return *m_presenter; }
    CalendarPanel& calendarPanel() const { return *m_calendar; }
    SummaryPanel& summaryPanel() const { return *m_summary; }
    // Reads the presenter's model now rather than on the next turn of the event loop.
    void refreshNow();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Escape first takes back a question about deleting a session; only then does it
    // reach the window and close it.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showExportFailure(const QString& reason);

    core::AppState& m_state;
    HistoryPresenter* m_presenter = nullptr;
    platform::DestinationChooser* m_chooser = nullptr;
    CalendarPanel* m_calendar = nullptr;
    SummaryPanel* m_summary = nullptr;
    // Several changes in one turn of the event loop are drawn once, after it.
    core::AfterThisTurn m_scheduleRefresh{*this, [this] { refreshNow(); }};
    // A window shown again after it was hidden starts afresh; the first show is fresh already.
    bool m_wasHidden = false;
};

} // namespace kavro::ui
