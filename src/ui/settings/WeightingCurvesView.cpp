// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/WeightingCurvesView.h"

#include "models/NumberText.h"
#include "ui/settings/WeightingCurves.h"
#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace kavro::ui {

namespace {

using Curve = WeightingCurves::Curve;

constexpr int kCornerRadius = 8;
constexpr int kMargin = 10;
constexpr double kGridOpacity = 0.15;
constexpr double kCurveWidth = 2.0;

double xFor(double frequency, const QRectF& plot) {
    const double low = std::log10(WeightingCurves::kMinimumFrequency);
    const double high = std::log10(WeightingCurves::kMaximumFrequency);
    return plot.left() + (std::log10(frequency) - low) / (high - low) * plot.width();
}

double yFor(double gainDb, const QRectF& plot) {
    return plot.top() + (WeightingCurves::kMaximumGainDb - gainDb) /
                            (WeightingCurves::kMaximumGainDb - WeightingCurves::kMinimumGainDb) *
                            plot.height();
}

QColor curveColour(Curve curve, const QPalette& palette) {
    return roleColour(curve == Curve::a ? ColourRole::blue : ColourRole::orange, palette);
}

// What a screen reader says of the picture: a few values of each curve.
QString describe() {
    QStringList parts;
    for (const Curve curve : {Curve::a, Curve::c}) {
        QStringList values;
        for (const double frequency : {31.5, 100.0, 1000.0, 10000.0}) {
            values.append(models::fixedText(WeightingCurves::responseDb(curve, frequency), 1) +
                          QStringLiteral(" dB at ") +
                          (frequency >= 1000 ? QString::number(frequency / 1000) + QStringLiteral(" kHz")
                                             : QString::number(frequency) + QStringLiteral(" Hz")));
        }
        parts.append(WeightingCurves::label(curve) + QStringLiteral(": ") +
                     values.join(QStringLiteral(", ")));
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace

WeightingCurvesView::WeightingCurvesView(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(QStringLiteral("A- and C-weighting curves"));
    setAccessibleDescription(describe());
}

int WeightingCurvesView::heightForWidth(int width) const {
    return static_cast<int>(std::lround(width * kAspectRatio));
}

QSize WeightingCurvesView::sizeHint() const {
    return {440, heightForWidth(440)};
}

QRectF WeightingCurvesView::plotArea() const {
    const QFontMetrics metrics(styledFont(font(), TextStyle::smallestCaption));
    const double left = kMargin + metrics.horizontalAdvance(QStringLiteral("-50")) + 6;
    const double bottom = kMargin + 2.0 * metrics.height() + 4;
    const double top = kMargin + metrics.height() / 2.0;
    const double right = kMargin + metrics.horizontalAdvance(QStringLiteral("20k")) / 2.0;
    return QRectF(left, top, std::max(10.0, width() - left - right), std::max(10.0, height() - top - bottom));
}

void WeightingCurvesView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath frame;
    frame.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.setClipPath(frame);
    painter.fillRect(rect(), groupBackground(palette()));

    const QRectF plot = plotArea();
    paintAxes(painter, plot);
    paintCurves(painter, plot);
    paintCurveNames(painter, plot);
}

void WeightingCurvesView::paintAxes(QPainter& painter, const QRectF& plot) const {
    const QColor secondary = roleColour(ColourRole::secondary, palette());
    QColor grid = roleColour(ColourRole::primary, palette());
    grid.setAlphaF(static_cast<float>(kGridOpacity));
    const QFont small = styledFont(font(), TextStyle::smallestCaption);
    const QFontMetrics metrics(small);
    painter.setFont(small);

    for (const auto& tick : WeightingCurves::frequencyTicks()) {
        const double x = xFor(tick.value, plot);
        painter.setPen(QPen(grid, tick.label.isEmpty() ? 0.5 : 1.0));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        if (!tick.label.isEmpty()) {
            painter.setPen(secondary);
            painter.drawText(QRectF(x - 30, plot.bottom() + 3, 60, metrics.height()), Qt::AlignCenter,
                             tick.label);
        }
    }
    for (const auto& tick : WeightingCurves::gainTicks()) {
        const double y = yFor(tick.value, plot);
        painter.setPen(QPen(grid, 0.5));
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(secondary);
        painter.drawText(QRectF(0, y - metrics.height() / 2.0, plot.left() - 5, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, tick.label);
    }
    painter.setPen(secondary);
    painter.drawText(
        QRectF(plot.left(), plot.bottom() + 3 + metrics.height(), plot.width(), metrics.height()),
        Qt::AlignCenter, QStringLiteral("Frequency (Hz)"));

    // The 0 dB line, where both curves meet at 1 kHz.
    const double zeroY = yFor(0, plot);
    painter.setPen(QPen(secondary, 1.0, Qt::DashLine));
    painter.drawLine(QPointF(plot.left(), zeroY), QPointF(plot.right(), zeroY));
    painter.drawText(QRectF(plot.right() - 60, zeroY - metrics.height() - 1, 58, metrics.height()),
                     Qt::AlignRight | Qt::AlignBottom, QStringLiteral("0 dB"));
}

void WeightingCurvesView::paintCurves(QPainter& painter, const QRectF& plot) const {
    painter.save();
    painter.setClipRect(plot, Qt::IntersectClip);
    for (const Curve curve : {Curve::c, Curve::a}) {
        QPainterPath line;
        bool first = true;
        for (const auto& point : WeightingCurves::series(curve)) {
            const QPointF at(xFor(point.frequency, plot), yFor(point.gainDb, plot));
            if (first) {
                line.moveTo(at);
                first = false;
            } else {
                line.lineTo(at);
            }
        }
        painter.setPen(
            QPen(curveColour(curve, palette()), kCurveWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPath(line);
    }
    painter.restore();
}

void WeightingCurvesView::paintCurveNames(QPainter& painter, const QRectF& plot) const {
    // Each curve's name beside it, where the two lie far apart: under the C curve in
    // the bass, and under the A curve where it climbs through the low mids.
    QFont labelFont = styledFont(font(), TextStyle::smallestCaption);
    labelFont.setWeight(QFont::DemiBold);
    painter.setFont(labelFont);
    const QFontMetrics labelMetrics(labelFont);
    const auto place = [&](Curve curve, double frequency, double belowDb) {
        const double x = xFor(frequency, plot) + 4;
        const double y = yFor(WeightingCurves::responseDb(curve, frequency) - belowDb, plot);
        painter.setPen(curveColour(curve, palette()));
        painter.drawText(QPointF(x, y + labelMetrics.ascent() / 2.0), WeightingCurves::label(curve));
    };
    place(Curve::c, 22.0, 6.0);
    place(Curve::a, 110.0, 9.0);
}

} // namespace kavro::ui
