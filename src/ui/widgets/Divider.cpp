#include "ui/widgets/Divider.h"

#include <QPainter>

namespace kavro::ui {

namespace {

constexpr double kLineOpacity = 0.16;

} // namespace

Divider::Divider(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(1);
}

QSize Divider::sizeHint() const {
    return {10, 1};
}

void Divider::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(static_cast<float>(kLineOpacity));
    painter.fillRect(rect(), line);
}

} // namespace kavro::ui
