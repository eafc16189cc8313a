// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/style/Colours.h"

#include <QVariantAnimation>
#include <QWidget>

namespace kavro::ui {

// The day's dose as a bar: a faint full-width track and a fill in the band colour
// that glides to a new value over 0.3 s instead of jumping.
class DoseBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 8;
    static constexpr int kCornerRadius = 4;
    static constexpr int kAnimationMilliseconds = 300;

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
    QVariantAnimation m_animation;
    double m_target = 0;
    double m_shown = 0;
    ColourRole m_colour = ColourRole::green;
};

} // namespace kavro::ui
