// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/StatisticTileWidget.h"

#include "ui/history/InfoPopover.h"
#include "ui/style/Colours.h"
#include "ui/style/SymbolIcons.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QEvent>
#include <QPainter>
#include <QToolButton>

namespace kavro::ui {

namespace {

constexpr int kPaddingX = 10;
constexpr int kPaddingY = 8;
constexpr int kLineSpacing = 4;
constexpr int kInfoSize = 14;
constexpr double kBackgroundOpacity = 0.07;
constexpr double kCornerRadius = 8;

} // namespace

StatisticTileWidget::StatisticTileWidget(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_infoButton = new QToolButton(this);
    m_infoButton->setObjectName(QStringLiteral("infoButton"));
    m_infoButton->setAutoRaise(true);
    m_infoButton->setIconSize(QSize(kInfoSize - 2, kInfoSize - 2));
    m_infoButton->setFixedSize(kInfoSize + 4, kInfoSize + 4);
    m_infoButton->setCursor(Qt::PointingHandCursor);
    tintInfoButton();
    connect(m_infoButton, &QToolButton::clicked, this, &StatisticTileWidget::openInfo);
}

QFont StatisticTileWidget::labelFont() const {
    return styledFont(font(), TextStyle::caption);
}

QFont StatisticTileWidget::valueFont() const {
    return styledFont(font(), TextStyle::subheadline, QFont::DemiBold);
}

void StatisticTileWidget::setTile(const StatisticTile& tile) {
    if (tile == m_tile) {
        return;
    }
    const bool labelChanged = tile.label != m_tile.label;
    m_tile = tile;
    setAccessibleName(tile.spokenText());
    m_infoButton->setAccessibleName(QStringLiteral("About ") + tile.label);
    m_infoButton->setToolTip(tile.info.title);
    if (m_popover) {
        m_popover->setInfo(tile.info);
    }
    if (labelChanged) {
        placeInfoButton();
    }
    update();
}

void StatisticTileWidget::openInfo() {
    if (!m_popover) {
        m_popover = new InfoPopover(this);
    }
    m_popover->setInfo(m_tile.info);
    m_popover->popUp(m_infoButton->mapToGlobal(QPoint(0, m_infoButton->height())));
}

QSize StatisticTileWidget::sizeHint() const {
    const int height = 2 * kPaddingY + std::max(QFontMetrics(labelFont()).height(), kInfoSize) +
                       kLineSpacing + QFontMetrics(valueFont()).height();
    return {140, height};
}

QSize StatisticTileWidget::minimumSizeHint() const {
    return {80, sizeHint().height()};
}

void StatisticTileWidget::placeInfoButton() {
    const QFontMetrics metrics(labelFont());
    const int labelWidth =
        std::min(metrics.horizontalAdvance(m_tile.label), width() - 2 * kPaddingX - m_infoButton->width());
    const int lineHeight = std::max(metrics.height(), kInfoSize);
    m_infoButton->move(kPaddingX + std::max(0, labelWidth) + 1,
                       kPaddingY + (lineHeight - m_infoButton->height()) / 2);
}

void StatisticTileWidget::resizeEvent(QResizeEvent* event) {
    placeInfoButton();
    QWidget::resizeEvent(event);
}

void StatisticTileWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        tintInfoButton();
    } else if (event->type() == QEvent::FontChange) {
        updateGeometry();
        placeInfoButton();
    }
    QWidget::changeEvent(event);
}

void StatisticTileWidget::tintInfoButton() {
    m_infoButton->setIcon(
        SymbolIcons::icon(QStringLiteral("info.circle"), roleColour(ColourRole::secondary, palette())));
}

void StatisticTileWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(greyFill(kBackgroundOpacity));
    painter.drawRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);

    const QFont label = labelFont();
    const QFontMetrics labelMetrics(label);
    const int lineHeight = std::max(labelMetrics.height(), kInfoSize);
    const int labelRoom = width() - 2 * kPaddingX - m_infoButton->width();
    painter.setFont(label);
    painter.setPen(roleColour(ColourRole::secondary, palette()));
    painter.drawText(QRect(kPaddingX, kPaddingY, labelRoom, lineHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     labelMetrics.elidedText(m_tile.label, Qt::ElideRight, labelRoom));

    const QFont value = valueFont();
    const QFontMetrics valueMetrics(value);
    const int valueRoom = width() - 2 * kPaddingX;
    painter.setFont(value);
    painter.setPen(historyColour(m_tile.colour, palette()));
    painter.drawText(
        QRect(kPaddingX, kPaddingY + lineHeight + kLineSpacing, valueRoom, valueMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter, valueMetrics.elidedText(m_tile.value, Qt::ElideRight, valueRoom));
}

} // namespace kavro::ui
