// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/MicCorrectionCurveChart.h"

#include "dsp/CorrectionDesign.h"

#include <cmath>

namespace kavro::ui {

const double MicCorrectionCurveChart::xMin = std::log10(dsp::correction::kFreqLow);
const double MicCorrectionCurveChart::xMax = std::log10(dsp::correction::kFreqHigh);

const std::array<MicCorrectionCurveChart::Tick, 8>& MicCorrectionCurveChart::xTicks() {
    static const std::array<Tick, 8> ticks = [] {
        const std::array<double, 8> frequencies{dsp::correction::kFreqLow, 200, 500, 1000, 2000, 4000, 8000,
                                                dsp::correction::kFreqHigh};
        std::array<Tick, 8> made{};
        for (std::size_t index = 0; index < made.size(); ++index) {
            made[index] = {std::log10(frequencies[index]), frequencyLabel(frequencies[index])};
        }
        return made;
    }();
    return ticks;
}

QString MicCorrectionCurveChart::frequencyLabel(double frequency) {
    return frequency >= 1000 ? QString::number(frequency / 1000) + QLatin1Char('k')
                             : QString::number(frequency);
}

const std::array<MicCorrectionCurveChart::Tick, 7>& MicCorrectionCurveChart::yTicks() {
    static const std::array<Tick, 7> ticks = [] {
        std::array<Tick, 7> made{};
        for (std::size_t index = 0; index < made.size(); ++index) {
            const int gain = -9 + 3 * static_cast<int>(index);
            made[index] = {double(gain), gainLabel(gain)};
        }
        return made;
    }();
    return ticks;
}

QString MicCorrectionCurveChart::gainLabel(int gainDb) {
    return gainDb > 0 ? QStringLiteral("+%1").arg(gainDb) : QString::number(gainDb);
}

QPointF MicCorrectionCurveChart::toPlot(double logFrequency, double gainDb, const QRectF& plot) {
    const double x = plot.left() + (logFrequency - xMin) / (xMax - xMin) * plot.width();
    const double y = plot.top() + (yMax - gainDb) / (yMax - yMin) * plot.height();
    return {x, y};
}

std::vector<QPointF> MicCorrectionCurveChart::plotPoints(const QRectF& plot) const {
    std::vector<QPointF> points;
    points.reserve(static_cast<std::size_t>(curve.size()));
    for (const auto& point : curve) {
        if (point.frequency > 0) {
            points.push_back(toPlot(std::log10(double(point.frequency)), double(point.gainDB), plot));
        }
    }
    return points;
}

QPainterPath MicCorrectionCurveChart::smoothLine(const std::vector<QPointF>& points) {
    QPainterPath path;
    if (points.empty()) {
        return path;
    }
    path.moveTo(points.front());
    // Each segment leaves a point in the direction from its predecessor to its
    // successor, so the line passes through every point without corners; the end
    // points use themselves as the missing neighbour.
    for (std::size_t index = 0; index + 1 < points.size(); ++index) {
        const QPointF& before = points[index == 0 ? 0 : index - 1];
        const QPointF& from = points[index];
        const QPointF& to = points[index + 1];
        const QPointF& after = points[std::min(index + 2, points.size() - 1)];
        path.cubicTo(from + (to - before) / 6.0, to - (after - from) / 6.0, to);
    }
    return path;
}

} // namespace kavro::ui
