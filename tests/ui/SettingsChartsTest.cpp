// SPDX-License-Identifier: GPL-3.0-or-later
// The two drawings of the settings window: the correction curve chart (its marks, its
// smoothed line through every point, the clipping of gains beyond its range) and the
// weighting curves, which are the program's own A and C filters at 48 kHz.
#include "dsp/CorrectionDesign.h"
#include "ui/settings/CorrectionCurveView.h"
#include "ui/settings/MicCorrectionCurveChart.h"
#include "ui/settings/WeightingCurves.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace kavro::ui {
namespace {

TEST(MicCorrectionCurveChartTest, GainMarksCarryTheirSign) {
    QStringList labels;
    for (const auto& tick : MicCorrectionCurveChart::yTicks()) {
        labels.append(tick.label);
    }
    EXPECT_EQ(labels, (QStringList{"-9", "-6", "-3", "0", "+3", "+6", "+9"}));
}

TEST(MicCorrectionCurveChartTest, TheDomainIsTheCorrectionsBandAndFrequencyIsLogarithmic) {
    const QRectF plot(10, 20, 300, 110);
    EXPECT_EQ(MicCorrectionCurveChart::toPlot(std::log10(dsp::correction::kFreqLow), 12, plot),
              plot.topLeft());
    EXPECT_EQ(MicCorrectionCurveChart::toPlot(std::log10(dsp::correction::kFreqHigh), -12, plot),
              plot.bottomRight());
    // 400 Hz lies where a tenth of the way from 80 Hz to 16 kHz would on a log axis
    // (80 · 200^0.3 ≈ 391 Hz), not at 2 % as on a linear one.
    const double x400 = MicCorrectionCurveChart::toPlot(std::log10(400.0), 0, plot).x();
    EXPECT_NEAR((x400 - plot.left()) / plot.width(), std::log10(5.0) / std::log10(200.0), 1e-9);
}

TEST(MicCorrectionCurveChartTest, TheSmoothLinePassesThroughEveryPoint) {
    const MicCorrectionCurveChart chart{{{80, 0}, {200, 3}, {1000, -2}, {5000, 8.5f}, {16000, -9}}, true};
    const QRectF plot(0, 0, 400, 110);
    const auto points = chart.plotPoints(plot);
    ASSERT_EQ(points.size(), 5u);
    const QPainterPath path = MicCorrectionCurveChart::smoothLine(points);
    // One move, then three elements (two controls and the end) per cubic segment.
    ASSERT_EQ(path.elementCount(), 1 + 3 * 4);
    for (std::size_t index = 0; index < points.size(); ++index) {
        const QPainterPath::Element element = path.elementAt(static_cast<int>(index * 3));
        EXPECT_NEAR(element.x, points[index].x(), 1e-9);
        EXPECT_NEAR(element.y, points[index].y(), 1e-9);
    }
}

// The pixels of `image` in `colour` (within a small tolerance for antialiasing).
int pixelsLike(const QImage& image, const QColor& colour, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) < 30 && std::abs(pixel.green() - colour.green()) < 30 &&
                std::abs(pixel.blue() - colour.blue()) < 30) {
                ++count;
            }
        }
    }
    return count;
}

TEST(CorrectionCurveViewTest, GainsBeyondTwelveDecibelsAreClippedAtThePlot) {
    CorrectionCurveView view;
    view.resize(400, view.sizeHint().height());
    QPalette palette = view.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0, 90, 255));
    view.setPalette(palette);
    view.setChart({{{80, 0}, {400, 20}, {1000, 20}, {3000, 0}}, true});
    QImage image(view.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    view.render(&image);

    const QRect plot = view.plotArea().toAlignedRect();
    const QColor accent(0, 90, 255);
    EXPECT_GT(pixelsLike(image, accent, plot), 50) << "the curve is drawn";
    EXPECT_EQ(pixelsLike(image, accent, QRect(0, 0, image.width(), plot.top() - 1)), 0)
        << "nothing of the curve above the plot";

    // Switched off, the whole chart fades and the curve leaves the accent colour.
    view.setChart({{{80, 0}, {400, 6}, {1000, 6}, {3000, 0}}, false});
    image.fill(Qt::white);
    view.render(&image);
    EXPECT_EQ(pixelsLike(image, accent, plot), 0);
}

TEST(WeightingCurvesSeriesTest, SpansTenHertzToTwentyKilohertzEvenlyOnALogAxis) {
    for (const auto curve : {WeightingCurves::Curve::a, WeightingCurves::Curve::c}) {
        const auto& series = WeightingCurves::series(curve);
        ASSERT_EQ(series.size(), static_cast<std::size_t>(WeightingCurves::kPointCount));
        EXPECT_NEAR(series.front().frequency, 10.0, 1e-9);
        EXPECT_NEAR(series.back().frequency, 20000.0, 1e-6);
        const double ratio = series[1].frequency / series[0].frequency;
        EXPECT_NEAR(series[series.size() - 1].frequency / series[series.size() - 2].frequency, ratio, 1e-9);
    }
}

} // namespace
} // namespace kavro::ui
