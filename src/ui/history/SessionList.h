// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/history/HistoryModel.h"

#include <QList>
#include <QWidget>

namespace kavro::ui {

class HistoryPresenter;
class SessionGroupHeaderWidget;
class SessionRowWidget;
class SymbolLabel;

// The sessions of the range, one header per day (newest day first) and one row per
// session (oldest first), or a clock and "No sessions in this range". Headers and rows
// are kept and reused from one range to the next, so a drag across the calendar only
// changes what they show.
class SessionList : public QWidget {
    Q_OBJECT
public:
    explicit SessionList(HistoryPresenter& presenter, QWidget* parent = nullptr);

    void apply(const HistoryModel::Sessions& sessions);

    // The rows in use, top to bottom.
    QList<SessionRowWidget*> rows() const;
    QList<SessionGroupHeaderWidget*> headers() const;
    bool isEmptyShown() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    SessionRowWidget* row(qsizetype index);
    SessionGroupHeaderWidget* header(qsizetype index);
    void place();

    HistoryPresenter& m_presenter;
    HistoryModel::Sessions m_shown;
    QWidget* m_empty = nullptr;
    SymbolLabel* m_emptySymbol = nullptr;
    SymbolLabel* m_emptyText = nullptr;
    QList<SessionGroupHeaderWidget*> m_headers;
    QList<SessionRowWidget*> m_rows;
    // Headers and rows in use, in their order down the list.
    QList<QWidget*> m_order;
    int m_height = 0;
};

} // namespace kavro::ui
