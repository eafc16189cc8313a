#include "ui/settings/MicCorrectionCurveChart.h"

#include <cmath>

namespace kavro::ui {

const std::array<MicCorrectionCurveChart::Tick, 8>& MicCorrectionCurveChart::xTicks() {
    static const std::array<Tick, 8> ticks{{
        {std::log10(80.0), QStringLiteral("80")},
        {std::log10(200.0), QStringLiteral("200")},
        {std::log10(500.0), QStringLiteral("500")},
        {std::log10(1000.0), QStringLiteral("1k")},
        {std::log10(2000.0), QStringLiteral("2k")},
        {std::log10(4000.0), QStringLiteral("4k")},
        {std::log10(8000.0), QStringLiteral("8k")},
        {std::log10(16000.0), QStringLiteral("16k")},
    }};
    return ticks;
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
