// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/DoseBar.h"

#include "ui/widgets/AccessibleWidgets.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace kavro::ui {

namespace {

// Faint enough to read as an empty track on any background.
constexpr double kTrackOpacity = 0.2;

} // namespace

DoseBar::DoseBar(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(kHeight);
    m_animation.setDuration(kAnimationMilliseconds);
    m_animation.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_shown = value.toDouble();
        update();
    });
}

void DoseBar::setFraction(double fraction) {
    const double clamped = std::clamp(fraction, 0.0, 1.0);
    if (clamped == m_target) {
        return;
    }
    m_target = clamped;
    if (!isVisible()) {
        // Nothing to watch: the bar shows the value at once when it appears.
        m_animation.stop();
        m_shown = clamped;
        return;
    }
    const bool gliding = m_animation.state() == QAbstractAnimation::Running;
    if (gliding) {
        // A step during a glide moves its end, not its start: a dose that creeps up at
        // every tick would otherwise keep the bar animating for as long as it grows.
        m_animation.setEndValue(clamped);
        return;
    }
    // The creep itself, a sliver of a pixel a tick, is drawn at once when it shows.
    if (devicePixels(clamped - m_shown) < kGlideFromPixels) {
        m_shown = clamped;
        if (devicePixels(m_shown - m_painted) >= kRedrawFromPixels) {
            update();
        }
        return;
    }
    m_animation.setStartValue(m_shown);
    m_animation.setEndValue(clamped);
    m_animation.start();
}

double DoseBar::devicePixels(double fractionStep) const {
    return std::abs(fractionStep) * width() * devicePixelRatioF();
}

void DoseBar::setColour(ColourRole colour) {
    if (colour == m_colour) {
        return;
    }
    m_colour = colour;
    update();
}

QSize DoseBar::sizeHint() const {
    return {200, kHeight};
}

void DoseBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF track(0, (height() - kHeight) / 2.0, width(), kHeight);

    painter.setBrush(greyFill(kTrackOpacity));
    painter.drawRoundedRect(track, kCornerRadius, kCornerRadius);

    m_painted = m_shown;
    const double fillWidth = std::min(track.width(), track.width() * m_shown);
    if (fillWidth <= 0) {
        return;
    }
    // A sliver narrower than the rounding is cut from a full-width rounded bar, so it
    // starts with the same curve instead of shrinking into a dot.
    QPainterPath fullBar;
    fullBar.addRoundedRect(track, kCornerRadius, kCornerRadius);
    QPainterPath visible;
    visible.addRect(QRectF(track.left(), track.top(), fillWidth, track.height()));
    QPainterPath fill = fullBar.intersected(visible);
    if (fillWidth >= 2 * kCornerRadius) {
        fill = QPainterPath();
        fill.addRoundedRect(QRectF(track.left(), track.top(), fillWidth, track.height()), kCornerRadius,
                            kCornerRadius);
    }
    painter.setBrush(roleColour(m_colour, palette()));
    painter.drawPath(fill);
}

} // namespace kavro::ui
