// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/history/HistoryModel.h"

#include <QWidget>

#include <optional>

namespace kavro::ui {

class HistoryPresenter;

// The bar chart of daily doses: a title line (the hovered day with its dose, or what
// the chart shows) with "Click to select day" beside it, and one bar per day in its dose
// colour, up to 100 pixels high in an area 127 pixels high, with the day's label under
// it. Hovering a bar names its day in the title and in a tooltip; clicking a bar taps
// its day in the calendar.
class DailyChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kAreaHeight = 127;
    static constexpr int kLabelHeight = 14;

    explicit DailyChart(HistoryPresenter& presenter, QWidget* parent = nullptr);

    void apply(const HistoryModel::Chart& chart);
    const HistoryModel::Chart& chart() const { return m_chart; }
    // Where a bar is drawn, in the widget's coordinates.
    QRectF barRect(qsizetype index) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int titleHeight() const;
    QRectF area() const;
    // The bar whose column (the bar and half the space beside it) holds `x`.
    std::optional<qsizetype> barAt(double x) const;
    double barWidth() const;
    void paintTitle(QPainter& painter) const;

    HistoryPresenter& m_presenter;
    HistoryModel::Chart m_chart;
};

} // namespace kavro::ui
