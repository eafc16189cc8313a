// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/CalendarPanel.h"

#include "ui/history/CalendarGrid.h"
#include "ui/history/HistoryPresenter.h"
#include "ui/history/WeekdayHeader.h"
#include "ui/style/SymbolIcons.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/SymbolLabel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace kavro::ui {

namespace {

// The grid keeps its own side padding, so the panel's edges are narrower than the
// margins of the rows above and below it.
constexpr int kSideMargin = 6;
constexpr int kRowInset = 6;
constexpr int kChevronSize = 14;

QToolButton* chevron(QWidget* parent, const char* objectName, const QString& spokenName) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setAutoRaise(true);
    button->setIconSize(QSize(kChevronSize, kChevronSize));
    button->setAccessibleName(spokenName);
    button->setToolTip(spokenName);
    return button;
}

} // namespace

CalendarPanel::CalendarPanel(HistoryPresenter& presenter, QWidget* parent)
    : QWidget(parent), m_presenter(presenter) {
    setObjectName(QStringLiteral("calendarPanel"));
    setFixedWidth(kWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kSideMargin, 12, kSideMargin, 12);
    layout->setSpacing(8);

    auto* month = new QHBoxLayout;
    month->setContentsMargins(kRowInset, 0, kRowInset, 0);
    m_previous = chevron(this, "previousMonth", QStringLiteral("Previous month"));
    m_next = chevron(this, "nextMonth", QStringLiteral("Next month"));
    m_monthTitle = new SymbolLabel(this);
    m_monthTitle->setObjectName(QStringLiteral("monthTitle"));
    m_monthTitle->setFont(styledFont(font(), TextStyle::headline));
    m_monthTitle->setAlignment(Qt::AlignCenter);
    month->addWidget(m_previous);
    month->addWidget(m_monthTitle, 1);
    month->addWidget(m_next);
    layout->addLayout(month);
    tintChevrons();
    connect(m_previous, &QToolButton::clicked, &m_presenter, &HistoryPresenter::showPreviousMonth);
    connect(m_next, &QToolButton::clicked, &m_presenter, &HistoryPresenter::showNextMonth);

    m_weekdays = new WeekdayHeader(this);
    layout->addWidget(m_weekdays);
    m_grid = new CalendarGrid(m_presenter, this);
    layout->addWidget(m_grid);

    m_hint = new SymbolLabel(this);
    m_hint->setObjectName(QStringLiteral("selectionHint"));
    m_hint->setFont(styledFont(font(), TextStyle::caption));
    m_hint->setColour(ColourRole::secondary);
    m_hint->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_hint);

    auto* presets = new QHBoxLayout;
    presets->setContentsMargins(kRowInset, 0, kRowInset, 0);
    presets->setSpacing(4);
    const std::array kinds{HistoryPresenter::Preset::sevenDays, HistoryPresenter::Preset::fourteenDays,
                           HistoryPresenter::Preset::thirtyDays, HistoryPresenter::Preset::thisMonth};
    for (std::size_t index = 0; index < m_presets.size(); ++index) {
        auto* button = new QPushButton(this);
        button->setObjectName(QStringLiteral("preset%1").arg(index));
        button->setFont(styledFont(font(), TextStyle::caption));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        connect(button, &QPushButton::clicked, &m_presenter,
                [this, kind = kinds[index]] { m_presenter.applyPreset(kind); });
        presets->addWidget(button);
        m_presets[index] = button;
    }
    layout->addLayout(presets);
    layout->addStretch(1);
}

void CalendarPanel::apply(const HistoryModel::Calendar& calendar) {
    if (calendar == m_shown) {
        return;
    }
    m_monthTitle->setText(calendar.monthTitle);
    m_next->setEnabled(calendar.canShowNextMonth);
    m_weekdays->setNames(calendar.weekdays);
    if (calendar.weeks != m_shown.weeks) {
        m_grid->apply(calendar.weeks);
    }
    m_hint->setText(calendar.hint);
    for (std::size_t index = 0; index < m_presets.size(); ++index) {
        if (m_presets[index]->text() != calendar.presets[index]) {
            m_presets[index]->setText(calendar.presets[index]);
        }
    }
    m_shown = calendar;
}

void CalendarPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        tintChevrons();
    }
    QWidget::changeEvent(event);
}

void CalendarPanel::tintChevrons() {
    const QColor colour = palette().color(QPalette::ButtonText);
    m_previous->setIcon(SymbolIcons::icon(QStringLiteral("chevron.left"), colour));
    m_next->setIcon(SymbolIcons::icon(QStringLiteral("chevron.right"), colour));
}

} // namespace kavro::ui
