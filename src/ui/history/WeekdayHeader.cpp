// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/WeekdayHeader.h"

#include "ui/history/CalendarGrid.h"
#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QPainter>

namespace kavro::ui {

WeekdayHeader::WeekdayHeader(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFont(styledFont(font(), TextStyle::caption, QFont::Medium));
}

void WeekdayHeader::setNames(const std::array<QString, 7>& names) {
    if (names == m_names) {
        return;
    }
    m_names = names;
    QStringList all(names.begin(), names.end());
    setAccessibleName(all.join(QLatin1Char(' ')));
    update();
}

QSize WeekdayHeader::sizeHint() const {
    return {200, fontMetrics().height() + 2};
}

void WeekdayHeader::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(roleColour(ColourRole::secondary, palette()));
    for (int column = 0; column < static_cast<int>(m_names.size()); ++column) {
        QRectF area = CalendarGrid::cellRect(0, column, width());
        area.setTop(0);
        area.setHeight(height());
        painter.drawText(area, Qt::AlignCenter, m_names[static_cast<std::size_t>(column)]);
    }
}

} // namespace kavro::ui
