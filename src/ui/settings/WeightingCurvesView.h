// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPainter;

namespace kavro::ui {

// The picture of the A- and C-weighting curves (WeightingCurves): both responses on a
// logarithmic frequency axis with a grid, labelled curves and the 0 dB line, scaled to
// the width it is given, with rounded corners.
class WeightingCurvesView : public QWidget {
    Q_OBJECT
public:
    // Height over width.
    static constexpr double kAspectRatio = 0.58;

    explicit WeightingCurvesView(QWidget* parent = nullptr);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    // Where the plot lies inside the widget, for tests of the drawing.
    QRectF plotArea() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The grid with its tick labels, the axis title and the 0 dB line.
    void paintAxes(QPainter& painter, const QRectF& plot) const;
    void paintCurves(QPainter& painter, const QRectF& plot) const;
    void paintCurveNames(QPainter& painter, const QRectF& plot) const;
};

} // namespace kavro::ui
