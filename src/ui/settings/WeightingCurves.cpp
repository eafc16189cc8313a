// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/settings/WeightingCurves.h"

#include "dsp/AWeightingFilter.h"
#include "dsp/CWeightingFilter.h"

#include <cmath>

namespace kavro::ui {

namespace {

std::vector<WeightingCurves::Point> sample(WeightingCurves::Curve curve) {
    std::vector<WeightingCurves::Point> points;
    points.reserve(WeightingCurves::kPointCount);
    const double low = std::log10(WeightingCurves::kMinimumFrequency);
    const double high = std::log10(WeightingCurves::kMaximumFrequency);
    for (int index = 0; index < WeightingCurves::kPointCount; ++index) {
        const double frequency =
            std::pow(10.0, low + (high - low) * index / double(WeightingCurves::kPointCount - 1));
        points.push_back({frequency, WeightingCurves::responseDb(curve, frequency)});
    }
    return points;
}

QString frequencyLabel(double frequency) {
    return frequency >= 1000.0 ? QString::number(frequency / 1000.0) + QLatin1Char('k')
                               : QString::number(frequency);
}

} // namespace

double WeightingCurves::responseDb(Curve curve, double frequency) {
    static const dsp::AWeightingFilter aFilter(kSampleRate);
    static const dsp::CWeightingFilter cFilter(kSampleRate);
    const dsp::WeightingFilter& filter = curve == Curve::a
                                             ? static_cast<const dsp::WeightingFilter&>(aFilter)
                                             : static_cast<const dsp::WeightingFilter&>(cFilter);
    return 20.0 * std::log10(filter.magnitudeAt(frequency));
}

const std::vector<WeightingCurves::Point>& WeightingCurves::series(Curve curve) {
    static const std::vector<Point> a = sample(Curve::a);
    static const std::vector<Point> c = sample(Curve::c);
    return curve == Curve::a ? a : c;
}

QString WeightingCurves::label(Curve curve) {
    return curve == Curve::a ? QStringLiteral("A-weighting (dBA)") : QStringLiteral("C-weighting (dBC)");
}

const std::vector<WeightingCurves::Tick>& WeightingCurves::frequencyTicks() {
    static const std::vector<Tick> ticks = [] {
        std::vector<Tick> made;
        for (double decade = 10.0; decade <= kMaximumFrequency; decade *= 10.0) {
            for (const double step : {1.0, 2.0, 5.0}) {
                const double frequency = decade * step;
                if (frequency <= kMaximumFrequency) {
                    made.push_back({frequency, step == 1.0 ? frequencyLabel(frequency) : QString()});
                }
            }
        }
        return made;
    }();
    return ticks;
}

const std::vector<WeightingCurves::Tick>& WeightingCurves::gainTicks() {
    static const std::vector<Tick> ticks = [] {
        std::vector<Tick> made;
        for (int gain = static_cast<int>(kMinimumGainDb); gain <= 0; gain += 10) {
            made.push_back({double(gain), QString::number(gain)});
        }
        return made;
    }();
    return ticks;
}

} // namespace kavro::ui
