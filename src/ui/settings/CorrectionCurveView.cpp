// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/CorrectionCurveView.h"

#include "dsp/CorrectionDesign.h"

#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QEvent>
#include <QPainter>

namespace kavro::ui {

namespace {

constexpr double kTickPointSize = 9.0;
constexpr double kGridWidth = 0.5;
constexpr double kGridOpacity = 0.18;
constexpr double kZeroRuleOpacity = 0.4;
constexpr double kCurveWidth = 1.8;
constexpr int kGap = 4;

} // namespace

CorrectionCurveView::CorrectionCurveView(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("Correction curve"));
}

void CorrectionCurveView::setChart(const MicCorrectionCurveChart& chart) {
    if (chart == m_chart) {
        return;
    }
    m_chart = chart;
    float lowest = 0;
    float highest = 0;
    for (const auto& point : chart.curve) {
        lowest = std::min(lowest, point.gainDB);
        highest = std::max(highest, point.gainDB);
    }
    setAccessibleDescription(QStringLiteral("Gain from %1 to %2 dB between %3 Hz and %4 kHz%5")
                                 .arg(double(lowest), 0, 'f', 1)
                                 .arg(double(highest), 0, 'f', 1)
                                 .arg(dsp::correction::kFreqLow)
                                 .arg(dsp::correction::kFreqHigh / 1000)
                                 .arg(chart.isEnabled ? QString() : QStringLiteral(", switched off")));
    update();
}

QFont CorrectionCurveView::titleFont() const {
    return styledFont(font(), TextStyle::smallestCaption);
}

QFont CorrectionCurveView::tickFont() const {
    QFont tick = font();
    tick.setPointSizeF(kTickPointSize);
    return tick;
}

int CorrectionCurveView::chartHeight() const {
    const QFontMetrics title(titleFont());
    const QFontMetrics tick(tickFont());
    // Title, plot, tick labels and the axis title below them.
    return title.height() + kGap + static_cast<int>(MicCorrectionCurveChart::kPlotHeight) + kGap +
           tick.height() + kGap + tick.height();
}

QSize CorrectionCurveView::sizeHint() const {
    return {360, chartHeight()};
}

QSize CorrectionCurveView::minimumSizeHint() const {
    return {200, chartHeight()};
}

QRectF CorrectionCurveView::plotArea() const {
    const QFontMetrics title(titleFont());
    const QFontMetrics tick(tickFont());
    // Left of the plot: the rotated axis title and the widest gain label.
    const int left = tick.height() + kGap +
                     tick.horizontalAdvance(MicCorrectionCurveChart::gainLabel(
                         static_cast<int>(MicCorrectionCurveChart::yMax))) +
                     kGap;
    const int right = tick.horizontalAdvance(MicCorrectionCurveChart::xTicks().back().label) / 2 + 2;
    const int top = title.height() + kGap;
    return QRectF(left, top, std::max(10, width() - left - right), MicCorrectionCurveChart::kPlotHeight);
}

void CorrectionCurveView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange) {
        updateGeometry();
    }
    QWidget::changeEvent(event);
}

void CorrectionCurveView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_chart.opacity());

    const QColor secondary = roleColour(ColourRole::secondary, palette());
    const QRectF plot = plotArea();

    painter.setFont(titleFont());
    painter.setPen(secondary);
    painter.drawText(QRectF(0, 0, width(), plot.top() - kGap), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Correction curve"));

    paintAxes(painter, plot);

    // The 0 dB rule.
    const QFontMetrics tickMetrics(tickFont());
    QColor zero = secondary;
    zero.setAlphaF(static_cast<float>(kZeroRuleOpacity));
    const double zeroY = MicCorrectionCurveChart::toPlot(MicCorrectionCurveChart::xMin, 0, plot).y();
    painter.setPen(QPen(zero, 1.0));
    painter.drawLine(QPointF(plot.left(), zeroY), QPointF(plot.right(), zeroY));
    painter.drawText(
        QRectF(plot.left() + 3, zeroY - tickMetrics.height(), plot.width() / 2, tickMetrics.height()),
        Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("0 dB"));

    // The curve, clipped to the plot: gains beyond ±12 dB run off its edge.
    painter.setClipRect(plot);
    // The desktop's accent colour while the correction acts.
    const QColor curveColour = m_chart.isEnabled ? palette().color(QPalette::Highlight) : secondary;
    painter.setPen(QPen(curveColour, kCurveWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(MicCorrectionCurveChart::smoothLine(m_chart.plotPoints(plot)));
}

void CorrectionCurveView::paintAxes(QPainter& painter, const QRectF& plot) const {
    const QColor secondary = roleColour(ColourRole::secondary, palette());
    QColor grid = roleColour(ColourRole::primary, palette());
    grid.setAlphaF(static_cast<float>(kGridOpacity));
    const QFontMetrics tickMetrics(tickFont());
    painter.setFont(tickFont());

    // Frequency marks: a grid line and a label under the plot.
    for (const auto& tick : MicCorrectionCurveChart::xTicks()) {
        const double x = MicCorrectionCurveChart::toPlot(tick.position, 0, plot).x();
        painter.setPen(QPen(grid, kGridWidth));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(secondary);
        const double labelWidth = tickMetrics.horizontalAdvance(tick.label) + 2;
        painter.drawText(QRectF(x - labelWidth / 2, plot.bottom() + kGap, labelWidth, tickMetrics.height()),
                         Qt::AlignCenter, tick.label);
    }
    // Gain marks: a grid line and a label left of the plot.
    for (const auto& tick : MicCorrectionCurveChart::yTicks()) {
        const double y =
            MicCorrectionCurveChart::toPlot(MicCorrectionCurveChart::xMin, tick.position, plot).y();
        painter.setPen(QPen(grid, kGridWidth));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(secondary);
        painter.drawText(QRectF(0, y - tickMetrics.height() / 2.0, plot.left() - kGap, tickMetrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, tick.label);
    }
    painter.setPen(QPen(grid, kGridWidth));
    painter.drawRect(plot);

    // Axis titles.
    painter.setPen(secondary);
    const double belowLabels = plot.bottom() + kGap + tickMetrics.height() + kGap;
    painter.drawText(QRectF(plot.left(), belowLabels, plot.width(), tickMetrics.height()), Qt::AlignCenter,
                     QStringLiteral("Frequency"));
    painter.save();
    painter.translate(0, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-plot.height() / 2, 0, plot.height(), tickMetrics.height()), Qt::AlignCenter,
                     QStringLiteral("Gain (dB)"));
    painter.restore();
}

} // namespace kavro::ui
