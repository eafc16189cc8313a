// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/history/HistoryModel.h"

#include <QPoint>
#include <QWidget>

#include <optional>

namespace kavro::ui {

class CalendarDayCell;
class HistoryPresenter;

// The day grid of the history calendar: seven columns of day cells, 38 pixels high, one
// row of cells per week. A tap on a day selects as the presenter's rules say; a drag of
// at least 4 pixels selects the days it crosses. The arrow keys move the focused day
// (Shift extends the range), Enter taps it and Escape drops a waiting first tap.
class CalendarGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kCellHeight = 38;
    static constexpr double kColumnSpacing = 2;
    static constexpr double kDragDistance = 4;
    static constexpr int kMaximumWeeks = 6;

    explicit CalendarGrid(HistoryPresenter& presenter, QWidget* parent = nullptr);

    void apply(const QList<HistoryModel::Week>& weeks);

    // Where the cell of a row and column is drawn in a grid `width` pixels wide; the
    // drag rules measure the grid the same way.
    static QRectF cellRect(int row, int column, double width);
    // The widget drawing a day, if the month shown has it.
    CalendarDayCell* cellFor(QDate day) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void placeCells();
    void followFocus(bool take);
    int rows() const;

    HistoryPresenter& m_presenter;
    QList<CalendarDayCell*> m_cells; // row by row, seven a row
    QList<HistoryModel::Week> m_weeks;
    std::optional<QPoint> m_pressedAt;
    bool m_dragging = false;
};

} // namespace kavro::ui
