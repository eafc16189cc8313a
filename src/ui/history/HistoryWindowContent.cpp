// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/HistoryWindowContent.h"

#include "core/AppState.h"
#include "services/SessionManager.h"
#include "ui/history/CalendarPanel.h"
#include "ui/history/HistoryPresenter.h"
#include "ui/history/SummaryPanel.h"
#include "ui/widgets/Divider.h"
#include "ui/widgets/FileDialogDestinationChooser.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QShowEvent>

namespace kavro::ui {

HistoryWindowContent::HistoryWindowContent(core::AppState& state, platform::DestinationChooser* chooser,
                                           QWidget* parent)
    : QWidget(parent), m_state(state), m_presenter(new HistoryPresenter(state, QLocale(), this)),
      m_chooser(chooser ? chooser : new FileDialogDestinationChooser(this)) {
    setObjectName(QStringLiteral("historyContent"));
    setAccessibleName(QStringLiteral("History"));
    // Exports start here, so the save dialog belongs to this window.
    m_state.sessionManager().setDestinationChooser(m_chooser);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_calendar = new CalendarPanel(*m_presenter, this);
    m_summary = new SummaryPanel(*m_presenter, this);
    layout->addWidget(m_calendar);
    layout->addWidget(new Divider(Qt::Vertical, this));
    layout->addWidget(m_summary, 1);

    connect(m_presenter, &HistoryPresenter::changed, this, [this] { m_scheduleRefresh.request(); });
    connect(m_presenter, &HistoryPresenter::exportFailed, this, &HistoryWindowContent::showExportFailure);
    refreshNow();
}

HistoryWindowContent::~HistoryWindowContent() {
    m_state.sessionManager().setDestinationChooser(nullptr);
}

void HistoryWindowContent::refreshNow() {
    const HistoryModel model = m_presenter->model();
    m_calendar->apply(model.calendar);
    m_summary->apply(model);
}

void HistoryWindowContent::showEvent(QShowEvent* event) {
    // A window brought back from the taskbar is the same window; one opened again is new.
    if (!event->spontaneous()) {
        if (m_wasHidden) {
            m_presenter->reset();
        }
        m_presenter->setFollowing(true);
        refreshNow();
    }
    QWidget::showEvent(event);
}

void HistoryWindowContent::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) {
        m_wasHidden = true;
        m_presenter->setFollowing(false);
    }
    QWidget::hideEvent(event);
}

void HistoryWindowContent::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Cancel) && m_presenter->confirmingDelete()) {
        m_presenter->cancelDelete();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HistoryWindowContent::showExportFailure(const QString& reason) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Export CSV"),
                                QStringLiteral("The sessions could not be exported."), QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("exportFailedMessage"));
    box->setInformativeText(reason);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace kavro::ui
