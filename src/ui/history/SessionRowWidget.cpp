// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/SessionRowWidget.h"

#include "ui/style/Colours.h"
#include "ui/style/SymbolIcons.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/AccessibleWidgets.h"
#include "ui/widgets/ButtonLook.h"
#include "ui/widgets/SymbolLabel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>

namespace kavro::ui {

namespace {

constexpr int kPaddingY = 7;
constexpr int kLineSpacing = 2;
constexpr int kColumnGap = 12;
constexpr int kTrashSize = 22;
constexpr int kBadgeSpacing = 8;
constexpr int kStripGap = 4;
constexpr double kRuleOpacity = 0.16;
const QString kPianoKeys = QStringLiteral("pianokeys");
const QString kTrash = QStringLiteral("trash");
const QString kInlineGap = QStringLiteral("   ");

int lineHeight(const QFont& font) {
    return QFontMetrics(font).height();
}

} // namespace

SessionRowWidget::SessionRowWidget(QWidget* parent) : QWidget(parent) {
    installAccessibleWidgets();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_trash = new QToolButton(this);
    m_trash->setObjectName(QStringLiteral("deleteSessionButton"));
    m_trash->setAutoRaise(true);
    m_trash->setFixedSize(kTrashSize, kTrashSize);
    m_trash->setIconSize(QSize(13, 13));
    m_trash->setAccessibleName(QStringLiteral("Delete session"));
    m_trash->setToolTip(QStringLiteral("Delete session"));
    connect(m_trash, &QToolButton::clicked, this, [this] { emit deleteAsked(m_row.id); });
    tint();
}

SessionRowWidget::Fonts SessionRowWidget::fonts() const {
    return {styledFont(font(), TextStyle::subheadline, QFont::Medium), styledFont(font(), TextStyle::caption),
            styledFont(font(), TextStyle::smallestCaption)};
}

void SessionRowWidget::setRow(const HistorySessionRow& row, bool confirming, const Question& question,
                              bool divided) {
    if (row == m_row && confirming == m_confirming && question == m_question && divided == m_divided) {
        return;
    }
    const bool heightChanged = row.badges.isEmpty() != m_row.badges.isEmpty() ||
                               row.peakDBC.has_value() != m_row.peakDBC.has_value() ||
                               confirming != m_confirming;
    m_row = row;
    m_confirming = confirming;
    m_question = question;
    m_divided = divided;
    setAccessibleName(row.spokenText());
    setToolTip(row.source + QLatin1Char('\n') + row.calibration);
    if (confirming && !m_confirmation) {
        buildConfirmation();
    }
    if (m_confirmation) {
        m_questionLabel->setText(question.text);
        m_cancel->setText(question.cancel);
        m_confirm->setText(question.confirm);
        m_confirmation->setVisible(confirming);
    }
    if (heightChanged) {
        updateGeometry();
    }
    placeChildren();
    update();
}

void SessionRowWidget::buildConfirmation() {
    m_confirmation = new QWidget(this);
    m_confirmation->setObjectName(QStringLiteral("deleteConfirmation"));
    auto* layout = new QHBoxLayout(m_confirmation);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addStretch(1);
    const QFont caption = fonts().caption;
    m_questionLabel = new SymbolLabel(m_confirmation);
    m_questionLabel->setObjectName(QStringLiteral("deleteQuestion"));
    m_questionLabel->setFont(caption);
    layout->addWidget(m_questionLabel);
    m_cancel = new QPushButton(m_confirmation);
    m_cancel->setObjectName(QStringLiteral("cancelDeleteButton"));
    m_cancel->setFont(caption);
    connect(m_cancel, &QPushButton::clicked, this, &SessionRowWidget::deleteCancelled);
    layout->addWidget(m_cancel);
    m_confirm = new QPushButton(m_confirmation);
    m_confirm->setObjectName(QStringLiteral("confirmDeleteButton"));
    QFont strong = caption;
    strong.setWeight(QFont::Medium);
    m_confirm->setFont(strong);
    connect(m_confirm, &QPushButton::clicked, this, &SessionRowWidget::deleteConfirmed);
    layout->addWidget(m_confirm);
    tint();
}

int SessionRowWidget::leftHeight() const {
    const Fonts shown = fonts();
    int height = lineHeight(shown.name) + kLineSpacing + lineHeight(shown.caption);
    if (!m_row.badges.isEmpty()) {
        height += kLineSpacing + lineHeight(shown.small);
    }
    return height;
}

int SessionRowWidget::rightHeight() const {
    const Fonts shown = fonts();
    const int lines = m_row.peakDBC ? 3 : 2;
    return lineHeight(shown.name) + lines * (kLineSpacing + lineHeight(shown.small));
}

int SessionRowWidget::contentHeight() const {
    return std::max({leftHeight(), rightHeight(), kTrashSize});
}

int SessionRowWidget::rightColumnWidth() const {
    const Fonts shown = fonts();
    const QFontMetrics small(shown.small);
    int width = std::max(QFontMetrics(shown.name).horizontalAdvance(m_row.dayDose),
                         small.horizontalAdvance(m_row.sessionDose));
    width = std::max(width, small.horizontalAdvance(m_row.average + kInlineGap + m_row.peak));
    if (m_row.peakDBC) {
        width = std::max(width, small.horizontalAdvance(*m_row.peakDBC));
    }
    return width + 1;
}

QSize SessionRowWidget::sizeHint() const {
    int height = 2 * kPaddingY + contentHeight();
    if (m_confirming && m_confirmation) {
        height += kStripGap + m_confirmation->sizeHint().height();
    }
    return {300, height};
}

void SessionRowWidget::placeChildren() {
    m_trash->move(width() - kTrashSize, kPaddingY + (contentHeight() - kTrashSize) / 2);
    if (m_confirmation) {
        const int stripHeight = m_confirmation->sizeHint().height();
        m_confirmation->setGeometry(0, kPaddingY + contentHeight() + kStripGap, width(), stripHeight);
    }
}

void SessionRowWidget::resizeEvent(QResizeEvent* event) {
    placeChildren();
    QWidget::resizeEvent(event);
}

void SessionRowWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        tint();
    }
    QWidget::changeEvent(event);
}

void SessionRowWidget::tint() {
    m_trash->setIcon(SymbolIcons::icon(kTrash, roleColour(ColourRole::secondary, palette())));
    if (m_confirm) {
        // Filled, as red words on a style's grey button face do not read on dark desktops.
        ButtonLook::apply(m_confirm, m_confirm->text(), {}, ButtonLook::Tint::red);
        ButtonLook::refreshAll(m_confirmation);
    }
}

void SessionRowWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colours = palette();
    const QColor primary = roleColour(ColourRole::primary, colours);
    const QColor secondary = roleColour(ColourRole::secondary, colours);
    const Fonts shown = fonts();
    const qreal ratio = devicePixelRatioF();

    if (m_divided) {
        painter.fillRect(QRect(0, 0, width(), 1), greyFill(kRuleOpacity));
    }

    const int rightEdge = width() - kTrashSize - kColumnGap;
    const int rightWidth = rightColumnWidth();
    const int leftWidth = std::max(0, rightEdge - rightWidth - kColumnGap);

    // Left: what ran, when, and its peaks.
    int y = kPaddingY;
    const int nameHeight = lineHeight(shown.name);
    const int symbolSide = lineHeight(shown.caption) - 2;
    painter.drawPixmap(QRect(0, y + (nameHeight - symbolSide) / 2, symbolSide, symbolSide),
                       SymbolIcons::pixmap(kPianoKeys, secondary, symbolSide, ratio));
    const int nameX = symbolSide + 5;
    painter.setFont(shown.name);
    painter.setPen(primary);
    painter.drawText(
        QRect(nameX, y, leftWidth - nameX, nameHeight), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(shown.name).elidedText(m_row.workstation, Qt::ElideRight, leftWidth - nameX));
    y += nameHeight + kLineSpacing;

    painter.setFont(shown.caption);
    painter.setPen(secondary);
    const int captionHeight = lineHeight(shown.caption);
    painter.drawText(
        QRect(0, y, leftWidth, captionHeight), Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(shown.caption)
            .elidedText(m_row.timeRange + kInlineGap + m_row.duration, Qt::ElideRight, leftWidth));
    y += captionHeight + kLineSpacing;

    const QFontMetrics small(shown.small);
    const int smallHeight = lineHeight(shown.small);
    int x = 0;
    painter.setFont(shown.small);
    for (const auto& badge : m_row.badges) {
        const QColor colour = historyColour(badge.colour, colours);
        const int side = smallHeight - 2;
        painter.drawPixmap(QRect(x, y + 1, side, side),
                           SymbolIcons::pixmap(badge.symbol, colour, side, ratio));
        x += side + 2;
        painter.setPen(colour);
        const int textWidth = small.horizontalAdvance(badge.text) + 1;
        painter.drawText(QRect(x, y, textWidth, smallHeight), Qt::AlignLeft | Qt::AlignVCenter, badge.text);
        x += textWidth + kBadgeSpacing;
    }

    // Right: the day's running dose, the session's own, its levels.
    const QRect right(rightEdge - rightWidth, kPaddingY, rightWidth, contentHeight());
    y = right.top();
    const auto line = [&](const QString& text, const QFont& font, const QColor& colour) {
        painter.setFont(font);
        painter.setPen(colour);
        const int height = lineHeight(font);
        painter.drawText(QRect(right.left(), y, right.width(), height), Qt::AlignRight | Qt::AlignVCenter,
                         text);
        y += height + kLineSpacing;
    };
    line(m_row.dayDose, shown.name, historyColour(m_row.dayDoseColour, colours));
    line(m_row.sessionDose, shown.small, secondary);
    line(m_row.average + kInlineGap + m_row.peak, shown.small, secondary);
    if (m_row.peakDBC) {
        line(*m_row.peakDBC, shown.small, historyColour(m_row.peakDBCColour, colours));
    }
}

} // namespace kavro::ui
