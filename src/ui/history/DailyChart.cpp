// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/DailyChart.h"

#include "ui/history/HistoryPresenter.h"
#include "ui/presentation/HistoryChart.h"
#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/AccessibleWidgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <cmath>

namespace kavro::ui {

namespace {

constexpr double kBackgroundOpacity = 0.04;
constexpr double kHoverColumnOpacity = 0.12;
constexpr double kCornerRadius = 6;
constexpr double kBarRadius = 2.5;
constexpr double kSidePadding = 8;
constexpr double kTopPadding = 8;
constexpr double kLabelGap = 3;
constexpr int kTitleGap = 6;
// A bar beside a hovered one steps back a little.
constexpr double kUnhoveredOpacity = 0.55;
const QString kSeparator = QStringLiteral("  ·  ");

} // namespace

DailyChart::DailyChart(HistoryPresenter& presenter, QWidget* parent)
    : QWidget(parent), m_presenter(presenter) {
    installAccessibleWidgets();
    setObjectName(QStringLiteral("dailyChart"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
}

void DailyChart::apply(const HistoryModel::Chart& chart) {
    if (chart == m_chart) {
        return;
    }
    m_chart = chart;
    QString title = chart.title;
    if (!chart.doseText.isEmpty()) {
        title += kSeparator + chart.doseText;
    }
    if (!chart.sessionText.isEmpty()) {
        title += kSeparator + chart.sessionText;
    }
    setAccessibleName(QStringLiteral("Daily dose chart: ") + title);
    QStringList days;
    for (const auto& bar : chart.bars) {
        days << bar.toolTip;
    }
    setAccessibleDescription(days.join(QStringLiteral("; ")));
    update();
}

int DailyChart::titleHeight() const {
    return QFontMetrics(styledFont(font(), TextStyle::subheadline, QFont::Medium)).height();
}

QRectF DailyChart::area() const {
    return {0, static_cast<double>(titleHeight() + kTitleGap), static_cast<double>(width()),
            static_cast<double>(kAreaHeight)};
}

QSize DailyChart::sizeHint() const {
    return {200, titleHeight() + kTitleGap + kAreaHeight};
}

double DailyChart::barWidth() const {
    const auto count = static_cast<double>(m_chart.bars.size());
    if (count <= 0) {
        return 0;
    }
    return std::max((area().width() - 2 * kSidePadding - (count - 1) * m_chart.barSpacing) / count, 1.0);
}

QRectF DailyChart::barRect(qsizetype index) const {
    const QRectF chartArea = area();
    const double width = barWidth();
    const double bottom = chartArea.top() + kTopPadding + HistoryChart::kMaxBarHeight;
    const double height = m_chart.bars[index].height;
    return {chartArea.left() + kSidePadding + static_cast<double>(index) * (width + m_chart.barSpacing),
            bottom - height, width, height};
}

std::optional<qsizetype> DailyChart::barAt(double x) const {
    if (m_chart.bars.isEmpty()) {
        return std::nullopt;
    }
    const double pitch = barWidth() + m_chart.barSpacing;
    const double offset = x - area().left() - kSidePadding + m_chart.barSpacing / 2;
    const auto index = static_cast<qsizetype>(std::floor(offset / pitch));
    if (index < 0 || index >= m_chart.bars.size()) {
        return std::nullopt;
    }
    return index;
}

void DailyChart::mouseMoveEvent(QMouseEvent* event) {
    const QPointF position = event->position();
    std::optional<qsizetype> index;
    if (area().contains(position)) {
        index = barAt(position.x());
    }
    if (!index) {
        m_presenter.hoverChartDay(std::nullopt);
        QToolTip::hideText();
        return;
    }
    const auto& bar = m_chart.bars[*index];
    m_presenter.hoverChartDay(bar.day);
    QToolTip::showText(event->globalPosition().toPoint(), bar.toolTip, this, barRect(*index).toAlignedRect());
}

void DailyChart::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !area().contains(event->position())) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (const auto index = barAt(event->position().x())) {
        m_presenter.clickChartDay(m_chart.bars[*index].day);
    }
}

void DailyChart::leaveEvent(QEvent* event) {
    m_presenter.hoverChartDay(std::nullopt);
    QWidget::leaveEvent(event);
}

void DailyChart::paintTitle(QPainter& painter) const {
    const QFont title = styledFont(font(), TextStyle::subheadline, QFont::Medium);
    const QFont hint = styledFont(font(), TextStyle::smallestCaption);
    const int lineHeight = titleHeight();
    const QColor secondary = roleColour(ColourRole::secondary, palette());

    painter.setFont(hint);
    const int hintWidth = QFontMetrics(hint).horizontalAdvance(m_chart.hint);
    painter.setPen(secondary);
    painter.drawText(QRect(width() - hintWidth, 0, hintWidth, lineHeight), Qt::AlignRight | Qt::AlignVCenter,
                     m_chart.hint);

    // The title in parts, each in its colour: the day, its dose, its sessions.
    painter.setFont(title);
    const QFontMetrics metrics(title);
    int x = 0;
    const auto part = [&](const QString& text, const QColor& colour) {
        painter.setPen(colour);
        painter.drawText(QRect(x, 0, metrics.horizontalAdvance(text) + 1, lineHeight),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
        x += metrics.horizontalAdvance(text);
    };
    part(m_chart.title, roleColour(ColourRole::primary, palette()));
    if (!m_chart.doseText.isEmpty()) {
        part(kSeparator, secondary);
        part(m_chart.doseText, historyColour(m_chart.doseColour, palette()));
    }
    if (!m_chart.sessionText.isEmpty()) {
        part(kSeparator, secondary);
        part(m_chart.sessionText, secondary);
    }
}

void DailyChart::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintTitle(painter);

    const QRectF chartArea = area();
    painter.setPen(Qt::NoPen);
    painter.setBrush(greyFill(kBackgroundOpacity));
    painter.drawRoundedRect(chartArea, kCornerRadius, kCornerRadius);

    const bool anyHovered =
        std::any_of(m_chart.bars.begin(), m_chart.bars.end(), [](const auto& bar) { return bar.isHovered; });
    const QFont label = styledFont(font(), TextStyle::smallestCaption);
    painter.setFont(label);
    for (qsizetype index = 0; index < m_chart.bars.size(); ++index) {
        const auto& bar = m_chart.bars[index];
        const QRectF shape = barRect(index);
        if (bar.isHovered) {
            const QRectF column(shape.left() - m_chart.barSpacing / 2, chartArea.top() + kTopPadding / 2,
                                shape.width() + m_chart.barSpacing,
                                HistoryChart::kMaxBarHeight + kTopPadding / 2 + kLabelGap + kLabelHeight);
            painter.setPen(Qt::NoPen);
            painter.setBrush(greyFill(kHoverColumnOpacity));
            painter.drawRoundedRect(column, kBarRadius, kBarRadius);
        }
        QColor colour = historyColour(bar.colour, palette(), ColourUse::shape);
        if (anyHovered && !bar.isHovered) {
            colour.setAlphaF(static_cast<float>(colour.alphaF() * kUnhoveredOpacity));
        }
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawRoundedRect(shape, std::min(kBarRadius, shape.width() / 2),
                                std::min(kBarRadius, shape.height() / 2));

        const QRectF labelArea(shape.left() - m_chart.barSpacing / 2, shape.bottom() + kLabelGap,
                               shape.width() + m_chart.barSpacing, kLabelHeight);
        painter.setPen(roleColour(bar.isHovered ? ColourRole::primary : ColourRole::secondary, palette()));
        painter.drawText(labelArea, Qt::AlignCenter, bar.label);
    }
}

} // namespace kavro::ui
