// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/history/HistoryModel.h"

#include <QWidget>

namespace kavro::ui {

// One day of the history calendar: its number (bold today, faded in the future), the
// dose dot in the day's band colour, the accent tint of a selected day (stronger on the
// first and last day of a range), the ring of a first tap waiting for its second, and
// the keyboard's focus ring. The grid around it handles the mouse and the keys.
class CalendarDayCell : public QWidget {
    Q_OBJECT
public:
    static constexpr int kNumberPixelSize = 13;
    static constexpr int kDotSize = 5;

    explicit CalendarDayCell(QWidget* parent = nullptr);

    void setDay(const HistoryModel::DayCell& day);
    const HistoryModel::DayCell& day() const { return m_day; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    HistoryModel::DayCell m_day;
};

} // namespace kavro::ui
