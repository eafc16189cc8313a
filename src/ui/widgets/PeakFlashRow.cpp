// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/PeakFlashRow.h"

#include <QPainter>

namespace kavro::ui {

PeakFlashRow::PeakFlashRow(QWidget* parent) : SymbolLabel(parent) {
    setVisible(false);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_progress = value.toDouble();
        update();
    });
    connect(&m_animation, &QVariantAnimation::finished, this, [this] {
        if (!m_shown) {
            setVisible(false);
        }
    });
}

void PeakFlashRow::setShown(bool shown) {
    if (shown == m_shown) {
        return;
    }
    m_shown = shown;
    m_animation.stop();
    if (shown) {
        setVisible(true);
        m_animation.setDuration(kInMilliseconds);
        m_animation.setEasingCurve(QEasingCurve::InQuad);
    } else {
        m_animation.setDuration(kOutMilliseconds);
        m_animation.setEasingCurve(QEasingCurve::OutQuad);
    }
    m_animation.setStartValue(m_progress);
    m_animation.setEndValue(shown ? 1.0 : 0.0);
    m_animation.start();
}

void PeakFlashRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setOpacity(m_progress);
    const double scale = kStartScale + (1.0 - kStartScale) * (m_shown ? m_progress : 1.0);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.scale(scale, scale);
    painter.translate(-centre);
    paintContents(painter, rect());
}

} // namespace kavro::ui
