// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/CumulativeBar.h"

#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QPainter>

#include <algorithm>

namespace kavro::ui {

namespace {

constexpr int kGap = 4;
constexpr double kTrackOpacity = 0.15;

} // namespace

CumulativeBar::CumulativeBar(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    setObjectName(QStringLiteral("cumulativeBar"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFont(styledFont(font(), TextStyle::caption));
}

void CumulativeBar::setContent(const QString& label, const QString& text, double fraction) {
    if (label == m_label && text == m_text && fraction == m_fraction) {
        return;
    }
    m_label = label;
    m_text = text;
    m_fraction = std::clamp(fraction, 0.0, 1.0);
    setAccessibleName(label + QStringLiteral(": ") + text);
    update();
}

QSize CumulativeBar::sizeHint() const {
    return {200, fontMetrics().height() + kGap + kBarHeight};
}

void CumulativeBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int lineHeight = fontMetrics().height();
    const QRect line(0, 0, width(), lineHeight);
    painter.setPen(roleColour(ColourRole::secondary, palette()));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, m_label);
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, m_text);

    const QRectF track(0, lineHeight + kGap, width(), kBarHeight);
    const double radius = kBarHeight / 2.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(greyFill(kTrackOpacity));
    painter.drawRoundedRect(track, radius, radius);
    if (m_fraction > 0) {
        // Never narrower than the rounding, so a small share still reads as a start.
        const double filled = std::max(track.width() * m_fraction, static_cast<double>(kBarHeight));
        painter.setBrush(accentColour(palette()));
        painter.drawRoundedRect(QRectF(track.left(), track.top(), filled, track.height()), radius, radius);
    }
}

} // namespace kavro::ui
