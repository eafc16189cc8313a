// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/history/HistoryModel.h"

#include <QWidget>

#include <array>

class QPushButton;
class QToolButton;

namespace kavro::ui {

class CalendarGrid;
class HistoryPresenter;
class SymbolLabel;
class WeekdayHeader;

// The left side of the history window, 298 pixels wide: the month with its chevrons,
// the weekday names, the day grid, the selection hint and the range presets.
class CalendarPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 298;

    explicit CalendarPanel(HistoryPresenter& presenter, QWidget* parent = nullptr);

    void apply(const HistoryModel::Calendar& calendar);

protected:
    void changeEvent(QEvent* event) override;

private:
    void tintChevrons();

    HistoryPresenter& m_presenter;
    HistoryModel::Calendar m_shown;
    QToolButton* m_previous = nullptr;
    QToolButton* m_next = nullptr;
    SymbolLabel* m_monthTitle = nullptr;
    WeekdayHeader* m_weekdays = nullptr;
    CalendarGrid* m_grid = nullptr;
    SymbolLabel* m_hint = nullptr;
    std::array<QPushButton*, 4> m_presets{};
};

} // namespace kavro::ui
