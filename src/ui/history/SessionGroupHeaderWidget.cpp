// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/SessionGroupHeaderWidget.h"

#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QPainter>

namespace kavro::ui {

namespace {

constexpr int kTopPadding = 10;
constexpr int kBottomPadding = 4;

QFont titleFont(const QFont& base) {
    return styledFont(base, TextStyle::subheadline, QFont::Medium);
}

QFont doseFont(const QFont& base) {
    return styledFont(base, TextStyle::caption);
}

} // namespace

SessionGroupHeaderWidget::SessionGroupHeaderWidget(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SessionGroupHeaderWidget::setGroup(const QString& title, const QString& doseText,
                                        HistoryColour doseColour) {
    if (title == m_title && doseText == m_doseText && doseColour == m_doseColour) {
        return;
    }
    m_title = title;
    m_doseText = doseText;
    m_doseColour = doseColour;
    setAccessibleName(title + QStringLiteral(", ") + doseText);
    update();
}

QSize SessionGroupHeaderWidget::sizeHint() const {
    return {200, kTopPadding + QFontMetrics(titleFont(font())).height() + kBottomPadding};
}

void SessionGroupHeaderWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect line(0, kTopPadding, width(), height() - kTopPadding - kBottomPadding);
    painter.setFont(titleFont(font()));
    painter.setPen(roleColour(ColourRole::secondary, palette()));
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, m_title);
    painter.setFont(doseFont(font()));
    painter.setPen(historyColour(m_doseColour, palette()));
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, m_doseText);
}

} // namespace kavro::ui
