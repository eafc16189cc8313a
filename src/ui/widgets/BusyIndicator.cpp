// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/BusyIndicator.h"

#include "ui/style/Colours.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QPainter>

namespace kavro::ui {

namespace {

constexpr int kDegreesPerFrame = 30;
constexpr int kArcDegrees = 90;
// Qt measures arcs in sixteenths of a degree.
constexpr int kArcUnit = 16;

} // namespace

BusyIndicator::BusyIndicator(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    setFixedSize(kSize, kSize);
    setAccessibleName(QStringLiteral("Working"));
    m_timer.setInterval(kFrameMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + kDegreesPerFrame) % 360;
        update();
    });
}

void BusyIndicator::showEvent(QShowEvent* event) {
    m_timer.start();
    QWidget::showEvent(event);
}

void BusyIndicator::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QWidget::hideEvent(event);
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double pen = kSize / 7.0;
    const QRectF circle = QRectF(rect()).adjusted(pen, pen, -pen, -pen);
    QColor track = roleColour(ColourRole::tertiary, palette());
    track.setAlphaF(0.35f);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(circle);
    painter.setPen(QPen(roleColour(ColourRole::secondary, palette()), pen, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(circle, -m_angle * kArcUnit, kArcDegrees * kArcUnit);
}

} // namespace kavro::ui
