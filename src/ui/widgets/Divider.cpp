// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/widgets/Divider.h"

#include <QPainter>

namespace kavro::ui {

namespace {

constexpr double kLineOpacity = 0.16;

} // namespace

Divider::Divider(QWidget* parent) : Divider(Qt::Horizontal, parent) {}

Divider::Divider(Qt::Orientation orientation, QWidget* parent) : QWidget(parent), m_orientation(orientation) {
    if (orientation == Qt::Horizontal) {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFixedHeight(1);
    } else {
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        setFixedWidth(1);
    }
}

QSize Divider::sizeHint() const {
    return m_orientation == Qt::Horizontal ? QSize(10, 1) : QSize(1, 10);
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(static_cast<float>(kLineOpacity));
    painter.fillRect(rect(), line);
}

} // namespace kavro::ui
