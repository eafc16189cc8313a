#pragma once

#include <QWidget>

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
};

} // namespace kavro::ui
