// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/SessionList.h"

#include "ui/history/HistoryPresenter.h"
#include "ui/history/SessionGroupHeaderWidget.h"
#include "ui/history/SessionRowWidget.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/SymbolLabel.h"

#include <QVBoxLayout>

namespace kavro::ui {

namespace {

constexpr int kEmptySymbolSize = 30;
constexpr int kEmptyPadding = 24;
// Room between the rows and the scroll bar beside them, and under the last row.
constexpr int kRightPadding = 8;
constexpr int kBottomPadding = 10;

} // namespace

SessionList::SessionList(HistoryPresenter& presenter, QWidget* parent)
    : QWidget(parent), m_presenter(presenter) {
    setObjectName(QStringLiteral("sessionList"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    m_empty = new QWidget(this);
    m_empty->setObjectName(QStringLiteral("noSessions"));
    auto* layout = new QVBoxLayout(m_empty);
    layout->setContentsMargins(0, kEmptyPadding, 0, kEmptyPadding);
    layout->setSpacing(8);
    m_emptySymbol = new SymbolLabel(m_empty);
    m_emptySymbol->setSymbol(QStringLiteral("clock"));
    m_emptySymbol->setSymbolSize(kEmptySymbolSize);
    m_emptySymbol->setColour(ColourRole::tertiary);
    m_emptySymbol->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    m_emptySymbol->setSpokenName(QStringLiteral("No sessions"));
    m_emptyText = new SymbolLabel(m_empty);
    m_emptyText->setObjectName(QStringLiteral("noSessionsText"));
    m_emptyText->setFont(styledFont(font(), TextStyle::subheadline));
    m_emptyText->setColour(ColourRole::secondary);
    m_emptyText->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    layout->addWidget(m_emptySymbol);
    layout->addWidget(m_emptyText);
}

SessionRowWidget* SessionList::row(qsizetype index) {
    while (m_rows.size() <= index) {
        auto* created = new SessionRowWidget(this);
        connect(created, &SessionRowWidget::deleteAsked, &m_presenter, &HistoryPresenter::askToDelete);
        connect(created, &SessionRowWidget::deleteCancelled, &m_presenter, &HistoryPresenter::cancelDelete);
        connect(created, &SessionRowWidget::deleteConfirmed, &m_presenter, &HistoryPresenter::confirmDelete);
        m_rows.append(created);
    }
    return m_rows[index];
}

SessionGroupHeaderWidget* SessionList::header(qsizetype index) {
    while (m_headers.size() <= index) {
        m_headers.append(new SessionGroupHeaderWidget(this));
    }
    return m_headers[index];
}

void SessionList::apply(const HistoryModel::Sessions& sessions) {
    if (sessions == m_shown) {
        return;
    }
    m_shown = sessions;
    m_emptyText->setText(sessions.emptyText);
    const SessionRowWidget::Question question{sessions.deleteQuestion, sessions.cancelLabel,
                                              sessions.deleteLabel};
    m_order.clear();
    qsizetype rowCount = 0;
    for (qsizetype groupIndex = 0; groupIndex < sessions.groups.size(); ++groupIndex) {
        const auto& group = sessions.groups[groupIndex];
        SessionGroupHeaderWidget* shownHeader = header(groupIndex);
        shownHeader->setGroup(group.title, group.doseText, group.doseColour);
        m_order.append(shownHeader);
        for (qsizetype index = 0; index < group.rows.size(); ++index) {
            const HistorySessionRow& content = group.rows[index];
            SessionRowWidget* shownRow = row(rowCount++);
            shownRow->setRow(content, sessions.confirmingDelete == content.id, question, index > 0);
            m_order.append(shownRow);
        }
    }
    for (qsizetype index = sessions.groups.size(); index < m_headers.size(); ++index) {
        m_headers[index]->hide();
    }
    for (qsizetype index = rowCount; index < m_rows.size(); ++index) {
        m_rows[index]->hide();
    }
    m_empty->setVisible(sessions.groups.isEmpty());
    place();
}

QList<SessionRowWidget*> SessionList::rows() const {
    QList<SessionRowWidget*> inUse;
    for (QWidget* widget : m_order) {
        if (auto* shownRow = qobject_cast<SessionRowWidget*>(widget)) {
            inUse.append(shownRow);
        }
    }
    return inUse;
}

QList<SessionGroupHeaderWidget*> SessionList::headers() const {
    QList<SessionGroupHeaderWidget*> inUse;
    for (QWidget* widget : m_order) {
        if (auto* shownHeader = qobject_cast<SessionGroupHeaderWidget*>(widget)) {
            inUse.append(shownHeader);
        }
    }
    return inUse;
}

bool SessionList::isEmptyShown() const {
    return m_empty->isVisibleTo(this);
}

void SessionList::place() {
    int y = 0;
    const int rowWidth = std::max(0, width() - kRightPadding);
    if (m_order.isEmpty()) {
        const int height = m_empty->sizeHint().height();
        m_empty->setGeometry(0, 0, width(), height);
        y = height;
    }
    for (QWidget* widget : m_order) {
        const int height = widget->sizeHint().height();
        widget->setGeometry(0, y, rowWidth, height);
        widget->show();
        y += height;
    }
    if (!m_order.isEmpty()) {
        y += kBottomPadding;
    }
    if (y != m_height) {
        m_height = y;
        updateGeometry();
    }
}

QSize SessionList::sizeHint() const {
    return {300, m_height};
}

QSize SessionList::minimumSizeHint() const {
    return {200, m_height};
}

void SessionList::resizeEvent(QResizeEvent* event) {
    place();
    QWidget::resizeEvent(event);
}

} // namespace kavro::ui
