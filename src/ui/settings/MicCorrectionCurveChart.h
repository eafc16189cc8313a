// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/FrequencyCurvePoint.h"

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>
#include <vector>

namespace kavro::ui {

// The small chart of the stored microphone correction: its curve on a logarithmic
// frequency axis over the band the correction acts on (80 Hz to 16 kHz) and a gain
// axis of ±12 dB, faded while the correction is switched off. A plain value;
// CorrectionCurveView draws it.
struct MicCorrectionCurveChart {
    struct Tick {
        double position; // log10 of the frequency, or the gain in dB
        QString label;
    };

    // log10 of the lowest and highest frequency of the correction's band.
    static const double xMin;
    static const double xMax;
    static constexpr double yMin = -12.0;
    static constexpr double yMax = 12.0;
    static constexpr double kPlotHeight = 110.0;
    static constexpr double kDisabledOpacity = 0.4;

    QList<models::FrequencyCurvePoint> curve;
    bool isEnabled = true;

    friend bool operator==(const MicCorrectionCurveChart&, const MicCorrectionCurveChart&) = default;

    // 80, 200, 500, 1k, 2k, 4k, 8k and 16k: the band's ends and the round values between.
    static const std::array<Tick, 8>& xTicks();
    // "80", "1k", "16k".
    static QString frequencyLabel(double frequency);
    // −9 … +9 dB in steps of 3, labelled "+3", "0", "-3".
    static const std::array<Tick, 7>& yTicks();
    static QString gainLabel(int gainDb);

    double opacity() const { return isEnabled ? 1.0 : kDisabledOpacity; }

    // A point of the chart's domain (log10 frequency, gain) in `plot`'s coordinates.
    // Gains beyond the domain land outside the plot; the view clips them.
    static QPointF toPlot(double logFrequency, double gainDb, const QRectF& plot);
    // The curve's points in `plot`'s coordinates, in ascending frequency.
    std::vector<QPointF> plotPoints(const QRectF& plot) const;
    // A smooth line through every point (Catmull-Rom segments as cubic Béziers).
    static QPainterPath smoothLine(const std::vector<QPointF>& points);
};

} // namespace kavro::ui
