// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/CalendarDayCell.h"

#include "ui/style/Colours.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QPainter>

namespace kavro::ui {

namespace {

constexpr double kCornerRadius = 7;
constexpr double kRangeTint = 0.16;
constexpr double kRangeEdgeTint = 0.36;
constexpr double kAnchorRingWidth = 1.5;
constexpr double kFutureOpacity = 0.35;
constexpr double kFocusRingOpacity = 0.6;
// The number sits a little above the middle, the dot under it.
constexpr double kNumberCentre = 0.4;
constexpr double kDotCentre = 0.74;

} // namespace

CalendarDayCell::CalendarDayCell(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    // The grid takes the mouse; the cell takes the keyboard focus only while it is the
    // focused day (see the grid), so Tab enters the calendar once, not thirty times.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void CalendarDayCell::setDay(const HistoryModel::DayCell& day) {
    if (day == m_day) {
        return;
    }
    m_day = day;
    if (accessibleName() != day.spokenName) {
        setAccessibleName(day.spokenName);
    }
    if (accessibleDescription() != day.spokenStates) {
        setAccessibleDescription(day.spokenStates);
    }
    update();
}

void CalendarDayCell::focusInEvent(QFocusEvent* event) {
    update();
    QWidget::focusInEvent(event);
}

void CalendarDayCell::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void CalendarDayCell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect());
    const QPalette& colours = palette();

    if (m_day.isInRange) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(accentColour(colours, m_day.isRangeEdge ? kRangeEdgeTint : kRangeTint));
        painter.drawRoundedRect(area, kCornerRadius, kCornerRadius);
    }
    if (m_day.isAnchor) {
        const double inset = kAnchorRingWidth / 2;
        painter.setPen(QPen(accentColour(colours), kAnchorRingWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(area.adjusted(inset, inset, -inset, -inset), kCornerRadius, kCornerRadius);
    }
    if (hasFocus()) {
        const double inset = 2.5;
        painter.setPen(QPen(roleColour(ColourRole::primary, colours), 1.0, Qt::DotLine));
        painter.setOpacity(kFocusRingOpacity);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(area.adjusted(inset, inset, -inset, -inset), kCornerRadius - 2,
                                kCornerRadius - 2);
        painter.setOpacity(1.0);
    }

    QFont number = font();
    number.setPixelSize(kNumberPixelSize);
    number.setWeight(m_day.isToday ? QFont::Bold : QFont::Normal);
    painter.setFont(number);
    QColor numberColour = roleColour(m_day.isFuture ? ColourRole::secondary : ColourRole::primary, colours);
    if (m_day.isFuture) {
        numberColour.setAlphaF(static_cast<float>(kFutureOpacity));
    }
    painter.setPen(numberColour);
    const double lineHeight = QFontMetricsF(number).height();
    const QRectF numberArea(0, area.height() * kNumberCentre - lineHeight / 2, area.width(), lineHeight);
    painter.drawText(numberArea, Qt::AlignCenter, m_day.number);

    if (m_day.dot != HistoryColour::clear) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(historyColour(m_day.dot, colours, ColourUse::shape));
        painter.drawEllipse(QPointF(area.width() / 2, area.height() * kDotCentre), kDotSize / 2.0,
                            kDotSize / 2.0);
    }
}

} // namespace kavro::ui
