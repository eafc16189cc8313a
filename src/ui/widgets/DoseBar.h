// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/style/Colours.h"

#include <QVariantAnimation>
#include <QWidget>

namespace kavro::ui {

// The day's dose as a bar: a faint full-width track and a fill in the band colour
// that glides to a new value over 0.3 s instead of jumping. Steps of a few pixels, as
// the dose makes while it grows, are drawn at once, and only once they show.
class DoseBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 8;
    static constexpr int kCornerRadius = 4;
    static constexpr int kAnimationMilliseconds = 300;
    // In device pixels: the smallest step that glides, and the least change redrawn.
    static constexpr double kGlideFromPixels = 3.0;
    static constexpr double kRedrawFromPixels = 0.25;

    explicit DoseBar(QWidget* parent = nullptr);

    // 0 (empty) to 1 (full).
    void setFraction(double fraction);
    double fraction() const { return m_target; }
    // Where the fill is drawn now, part-way through an animation.
    double shownFraction() const { return m_shown; }
    void setColour(ColourRole colour);
    ColourRole colour() const { return m_colour; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double devicePixels(double fractionStep) const;

    QVariantAnimation m_animation;
    double m_target = 0;
    double m_shown = 0;
    // What the last paint drew.
    double m_painted = 0;
    ColourRole m_colour = ColourRole::green;
};

} // namespace kavro::ui
