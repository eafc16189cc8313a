// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/settings/MicCorrectionCurveChart.h"

#include <QWidget>

class QPainter;

namespace kavro::ui {

// Draws the stored microphone correction (MicCorrectionCurveChart): the title, the
// plot with its grid, tick labels and axis titles, the 0 dB rule and the smoothed curve.
class CorrectionCurveView : public QWidget {
    Q_OBJECT
public:
    explicit CorrectionCurveView(QWidget* parent = nullptr);

    const MicCorrectionCurveChart& chart() const { return m_chart; }
    void setChart(const MicCorrectionCurveChart& chart);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // Where the plot lies inside the widget, for tests of the drawing.
    QRectF plotArea() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QFont titleFont() const;
    QFont tickFont() const;
    int chartHeight() const;
    // The grid, the tick labels and the axis titles.
    void paintAxes(QPainter& painter, const QRectF& plot) const;

    MicCorrectionCurveChart m_chart;
};

} // namespace kavro::ui
