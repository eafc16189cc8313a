// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/InfoPopover.h"

#include "ui/style/Colours.h"
#include "ui/style/TextStyle.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScreen>

#include <QVBoxLayout>
#include <algorithm>

namespace kavro::ui {

namespace {

constexpr int kDotSize = 7;
constexpr int kMargin = 12;
// Room kept between the explanation and the edges of the window it explains.
constexpr int kWindowMargin = 8;
constexpr double kBorderOpacity = 0.28;

// The coloured circle before a threshold row, level with the row's first line.
class ThresholdDot : public QWidget {
public:
    ThresholdDot(HistoryColour colour, int lineHeight, QWidget* parent) : QWidget(parent), m_colour(colour) {
        setFixedSize(kDotSize, lineHeight);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(historyColour(m_colour, palette(), ColourUse::shape));
        painter.drawEllipse(QRectF(0, (height() - kDotSize) / 2.0, kDotSize, kDotSize));
    }

private:
    HistoryColour m_colour;
};

QLabel* wrappedLabel(QWidget* parent, const QFont& font) {
    auto* label = new QLabel(parent);
    label->setFont(font);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

InfoPopover::InfoPopover(QWidget* parent) : QFrame(parent, Qt::Popup) {
    setObjectName(QStringLiteral("infoPopover"));
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    setFixedWidth(kWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(6);
    m_title = wrappedLabel(this, styledFont(font(), TextStyle::subheadline, QFont::DemiBold));
    m_title->setObjectName(QStringLiteral("infoTitle"));
    m_detail = wrappedLabel(this, styledFont(font(), TextStyle::caption));
    m_detail->setObjectName(QStringLiteral("infoDetail"));
    layout->addWidget(m_title);
    layout->addWidget(m_detail);
    m_thresholds = new QVBoxLayout;
    m_thresholds->setSpacing(3);
    layout->addLayout(m_thresholds);
}

void InfoPopover::setInfo(const StatisticInfo& info) {
    if (info == m_info) {
        return;
    }
    m_info = info;
    build();
}

void InfoPopover::build() {
    m_title->setText(m_info.title);
    m_detail->setText(m_info.detail);
    while (QLayoutItem* item = m_thresholds->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const QFont caption = styledFont(font(), TextStyle::caption);
    for (qsizetype index = 0; index < m_info.thresholds.size(); ++index) {
        const auto& threshold = m_info.thresholds[index];
        auto* row = new QWidget(this);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        layout->addWidget(new ThresholdDot(threshold.colour, QFontMetrics(caption).height(), row), 0,
                          Qt::AlignTop);
        QLabel* text = wrappedLabel(row, caption);
        text->setObjectName(QStringLiteral("infoThreshold%1").arg(index));
        text->setText(threshold.text);
        layout->addWidget(text, 1);
        m_thresholds->addWidget(row);
    }
    tintDetail();
}

void InfoPopover::tintDetail() {
    QPalette detailPalette = palette();
    detailPalette.setColor(QPalette::WindowText, roleColour(ColourRole::secondary, palette()));
    m_detail->setPalette(detailPalette);
}

void InfoPopover::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        tintDetail();
    }
    QFrame::changeEvent(event);
}

void InfoPopover::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    // A thin border in the text colour sets it off from the window below on any palette.
    QPainter painter(this);
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(static_cast<float>(kBorderOpacity));
    painter.setPen(border);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void InfoPopover::popUp(const QPoint& globalPosition) {
    // The paragraphs wrap, so the height follows from the fixed width.
    layout()->activate();
    resize(kWidth,
           layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(kWidth) : sizeHint().height());
    // Inside the window it explains when there is room, else inside the screen.
    QPoint position = globalPosition;
    const auto keepWithin = [&position, this](const QRect& area) {
        position.setX(
            std::clamp(position.x(), area.left(), std::max(area.left(), area.right() + 1 - width())));
        position.setY(
            std::clamp(position.y(), area.top(), std::max(area.top(), area.bottom() + 1 - height())));
    };
    if (const QWidget* owner = parentWidget()) {
        const QWidget* window = owner->window();
        keepWithin(QRect(window->mapToGlobal(QPoint(0, 0)), window->size())
                       .adjusted(kWindowMargin, kWindowMargin, -kWindowMargin, -kWindowMargin));
    }
    if (const QScreen* screen = QGuiApplication::screenAt(globalPosition)) {
        keepWithin(screen->availableGeometry());
    }
    move(position);
    show();
}

} // namespace kavro::ui
