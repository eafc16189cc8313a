// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/history/SummaryPanel.h"

#include "ui/history/CumulativeBar.h"
#include "ui/history/DailyChart.h"
#include "ui/history/HistoryPresenter.h"
#include "ui/history/SessionList.h"
#include "ui/history/StatisticTileWidget.h"
#include "ui/style/SymbolIcons.h"
#include "ui/style/TextStyle.h"
#include "ui/widgets/SymbolLabel.h"
#include "ui/widgets/WrappedText.h"

#include <QCheckBox>

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kavro::ui {

namespace {

constexpr int kMargin = 16;
constexpr int kTileColumns = 3;
constexpr int kTileSpacing = 8;
constexpr int kSectionSpacing = 14;
constexpr int kMinimumSessionsHeight = 80;
constexpr int kExportIconSize = 14;

SymbolLabel* label(QWidget* parent, const char* objectName, const QFont& font,
                   ColourRole colour = ColourRole::primary) {
    auto* created = new SymbolLabel(parent);
    created->setObjectName(QLatin1String(objectName));
    created->setFont(font);
    created->setColour(colour);
    return created;
}

} // namespace

SummaryPanel::SummaryPanel(HistoryPresenter& presenter, QWidget* parent)
    : QWidget(parent), m_presenter(presenter) {
    setObjectName(QStringLiteral("summaryPanel"));
    setMinimumWidth(kMinimumWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildHeader());
    layout->addWidget(buildBody(), 1);
}

QWidget* SummaryPanel::buildHeader() {
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("summaryHeader"));
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(kMargin, 14, kMargin, 10);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    m_rangeLabel = label(header, "rangeLabel", styledFont(font(), TextStyle::headline));
    m_rangeLabel->setElided(true);
    titles->addWidget(m_rangeLabel);
    auto* counts = new QHBoxLayout;
    counts->setSpacing(14);
    const QFont caption = styledFont(font(), TextStyle::caption);
    m_dayCount = label(header, "dayCount", caption, ColourRole::secondary);
    m_dayCount->setSymbol(QStringLiteral("calendar"));
    m_sessionCount = label(header, "sessionCount", caption, ColourRole::secondary);
    m_sessionCount->setSymbol(QStringLiteral("pianokeys"));
    counts->addWidget(m_dayCount);
    counts->addWidget(m_sessionCount);
    counts->addStretch(1);
    titles->addLayout(counts);
    layout->addLayout(titles, 1);

    m_export = new QPushButton(header);
    m_export->setObjectName(QStringLiteral("exportButton"));
    m_export->setIconSize(QSize(kExportIconSize, kExportIconSize));
    tintExportButton();
    m_exportCriteria = new QCheckBox(QStringLiteral("with criteria"), header);
    m_exportCriteria->setObjectName(QStringLiteral("exportCriteria"));
    m_exportCriteria->setFont(caption);
    connect(m_export, &QPushButton::clicked, this,
            [this] { m_presenter.exportCSV(m_exportCriteria->isChecked()); });
    auto* exportColumn = new QVBoxLayout;
    exportColumn->setSpacing(2);
    exportColumn->addWidget(m_export);
    exportColumn->addWidget(m_exportCriteria, 0, Qt::AlignRight);
    layout->addLayout(exportColumn);
    return header;
}

QWidget* SummaryPanel::buildBody() {
    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("summaryBody"));
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(kMargin, 2, kMargin, 0);
    layout->setSpacing(kSectionSpacing);

    auto* tiles = new QGridLayout;
    tiles->setSpacing(kTileSpacing);
    for (std::size_t index = 0; index < m_tiles.size(); ++index) {
        m_tiles[index] = new StatisticTileWidget(body);
        m_tiles[index]->setObjectName(QStringLiteral("tile%1").arg(index));
        tiles->addWidget(m_tiles[index], static_cast<int>(index) / kTileColumns,
                         static_cast<int>(index) % kTileColumns);
    }
    for (int column = 0; column < kTileColumns; ++column) {
        tiles->setColumnStretch(column, 1);
    }
    layout->addLayout(tiles);
    m_cumulative = new CumulativeBar(body);
    layout->addWidget(m_cumulative);
    layout->addLayout(buildCriteriaRow(body));
    m_chart = new DailyChart(m_presenter, body);
    layout->addWidget(m_chart);

    // Only the sessions scroll: the numbers of the range stay in view above them.
    m_scroll = new QScrollArea(body);
    m_scroll->setObjectName(QStringLiteral("sessionScroll"));
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setMinimumHeight(kMinimumSessionsHeight);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_sessions = new SessionList(m_presenter, m_scroll);
    m_sessions->setAutoFillBackground(false);
    m_scroll->setWidget(m_sessions);
    layout->addWidget(m_scroll, 1);
    return body;
}

QLayout* SummaryPanel::buildCriteriaRow(QWidget* body) {
    auto* row = new QHBoxLayout;
    row->setSpacing(kTileSpacing);
    m_weeklyTile = new StatisticTileWidget(body);
    m_weeklyTile->setObjectName(QStringLiteral("weeklyTile"));
    row->addWidget(m_weeklyTile, 1);
    m_criteria = new WrappedText({}, ColourRole::secondary, styledFont(font(), TextStyle::caption), body);
    m_criteria->setObjectName(QStringLiteral("rangeCriteria"));
    row->addWidget(m_criteria, 2);
    return row;
}

void SummaryPanel::apply(const HistoryModel& model) {
    if (model.header != m_shownHeader) {
        m_rangeLabel->setText(model.header.rangeLabel);
        m_dayCount->setText(model.header.dayCount);
        m_sessionCount->setText(model.header.sessionCount);
        m_export->setText(model.header.exportLabel);
        m_export->setEnabled(model.header.canExport);
        m_shownHeader = model.header;
    }
    if (model.statistics != m_shownStatistics) {
        for (std::size_t index = 0; index < m_tiles.size(); ++index) {
            m_tiles[index]->setTile(model.statistics.tiles[index]);
        }
        m_cumulative->setContent(model.statistics.cumulativeLabel, model.statistics.cumulativeText,
                                 model.statistics.cumulativeFraction);
        m_weeklyTile->setTile(model.statistics.weeklyTile);
        m_criteria->setTextIfChanged(model.statistics.criteriaText);
        m_shownStatistics = model.statistics;
    }
    m_chart->apply(model.chart);
    m_sessions->apply(model.sessions);
}

void SummaryPanel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        tintExportButton();
    }
    QWidget::changeEvent(event);
}

void SummaryPanel::tintExportButton() {
    m_export->setIcon(
        SymbolIcons::icon(QStringLiteral("square.and.arrow.up"), palette().color(QPalette::ButtonText)));
}

} // namespace kavro::ui
