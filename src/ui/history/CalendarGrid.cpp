// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/CalendarGrid.h"

#include "ui/history/CalendarDayCell.h"
#include "ui/history/HistoryPresenter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include <cmath>

namespace kavro::ui {

namespace {

constexpr int kColumns = 7;

} // namespace

CalendarGrid::CalendarGrid(HistoryPresenter& presenter, QWidget* parent)
    : QWidget(parent), m_presenter(presenter) {
    setObjectName(QStringLiteral("calendarGrid"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    for (int index = 0; index < kMaximumWeeks * kColumns; ++index) {
        auto* cell = new CalendarDayCell(this);
        cell->hide();
        m_cells.append(cell);
    }
}

QRectF CalendarGrid::cellRect(int row, int column, double width) {
    const double side = HistoryCalendar::kGridSidePadding;
    const double columnWidth = std::max((width - 2 * side) / kColumns, 1.0);
    return {side + column * columnWidth + kColumnSpacing / 2, row * HistoryCalendar::kCellHeight,
            columnWidth - kColumnSpacing, static_cast<double>(kCellHeight)};
}

int CalendarGrid::rows() const {
    return static_cast<int>(m_weeks.size());
}

QSize CalendarGrid::sizeHint() const {
    return {static_cast<int>(HistoryCalendar::kInitialGridWidth),
            static_cast<int>(std::ceil(rows() * HistoryCalendar::kCellHeight))};
}

QSize CalendarGrid::minimumSizeHint() const {
    return {kColumns * 20, sizeHint().height()};
}

CalendarDayCell* CalendarGrid::cellFor(QDate day) const {
    for (CalendarDayCell* cell : m_cells) {
        if (cell->isVisibleTo(this) && cell->day().date == day) {
            return cell;
        }
    }
    return nullptr;
}

void CalendarGrid::apply(const QList<HistoryModel::Week>& weeks) {
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    const bool rowsChanged = weeks.size() != m_weeks.size();
    m_weeks = weeks;
    for (int row = 0; row < kMaximumWeeks; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            CalendarDayCell* cell = m_cells[row * kColumns + column];
            const auto* day = row < rows() ? &m_weeks[row][static_cast<std::size_t>(column)] : nullptr;
            if (day && day->has_value()) {
                cell->setDay(**day);
                cell->setFocusPolicy((*day)->isFocused ? Qt::TabFocus : Qt::NoFocus);
                cell->show();
            } else {
                cell->setFocusPolicy(Qt::NoFocus);
                cell->hide();
            }
        }
    }
    if (rowsChanged) {
        updateGeometry();
    }
    placeCells();
    followFocus(hadFocus);
}

void CalendarGrid::followFocus(bool take) {
    if (!take) {
        return;
    }
    for (CalendarDayCell* cell : m_cells) {
        if (cell->isVisibleTo(this) && cell->day().isFocused) {
            cell->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void CalendarGrid::placeCells() {
    for (int index = 0; index < m_cells.size(); ++index) {
        m_cells[index]->setGeometry(cellRect(index / kColumns, index % kColumns, width()).toRect());
    }
}

void CalendarGrid::resizeEvent(QResizeEvent* event) {
    m_presenter.setGridWidth(width());
    placeCells();
    QWidget::resizeEvent(event);
}

void CalendarGrid::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressedAt = event->position().toPoint();
    m_dragging = false;
}

void CalendarGrid::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pressedAt || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    const QPointF travelled = event->position() - QPointF(*m_pressedAt);
    if (!m_dragging && std::hypot(travelled.x(), travelled.y()) < kDragDistance) {
        return;
    }
    m_dragging = true;
    m_presenter.dragCalendar(QPointF(*m_pressedAt), event->position());
}

void CalendarGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressedAt) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointF pressedAt(*m_pressedAt);
    m_pressedAt.reset();
    if (m_dragging) {
        m_dragging = false;
        m_presenter.endCalendarDrag();
        return;
    }
    if (const auto day = m_presenter.dayAt(pressedAt)) {
        m_presenter.tapDay(*day);
        // The keyboard goes on from the day just tapped.
        if (CalendarDayCell* cell = cellFor(m_presenter.focusedDay()); cell && window()->isActiveWindow()) {
            cell->setFocus(Qt::MouseFocusReason);
        }
    }
}

void CalendarGrid::keyPressEvent(QKeyEvent* event) {
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Left:
        m_presenter.moveFocus(-1, extend);
        break;
    case Qt::Key_Right:
        m_presenter.moveFocus(1, extend);
        break;
    case Qt::Key_Up:
        m_presenter.moveFocus(-kColumns, extend);
        break;
    case Qt::Key_Down:
        m_presenter.moveFocus(kColumns, extend);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        m_presenter.tapFocusedDay();
        break;
    case Qt::Key_Escape:
        if (!m_presenter.cancelAnchor()) {
            event->ignore();
        }
        return;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

} // namespace kavro::ui
