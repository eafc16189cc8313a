// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/history/HistoryModel.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLayout;
class QPushButton;
class QScrollArea;

namespace kavro::ui {

class CumulativeBar;
class DailyChart;
class HistoryPresenter;
class SessionList;
class StatisticTileWidget;
class SymbolLabel;
class WrappedText;

// The right side of the history window: the range with its day and session counts and
// the export button, the six statistics tiles, the cumulative bar, the daily chart and,
// scrolling under them, the sessions.
class SummaryPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 380;

    explicit SummaryPanel(HistoryPresenter& presenter, QWidget* parent = nullptr);

    void apply(const HistoryModel& model);

    StatisticTileWidget* tile(std::size_t index) const { return m_tiles[index]; }

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildBody();
    QLayout* buildCriteriaRow(QWidget* body);
    void tintExportButton();

    HistoryPresenter& m_presenter;
    HistoryModel::Header m_shownHeader;
    HistoryModel::Statistics m_shownStatistics;

    SymbolLabel* m_rangeLabel = nullptr;
    SymbolLabel* m_dayCount = nullptr;
    SymbolLabel* m_sessionCount = nullptr;
    QPushButton* m_export = nullptr;
    // The export's choice: the criteria's columns after the standard ones.
    QCheckBox* m_exportCriteria = nullptr;
    StatisticTileWidget* m_weeklyTile = nullptr;
    WrappedText* m_criteria = nullptr;
    QScrollArea* m_scroll = nullptr;
    std::array<StatisticTileWidget*, HistoryTiles::kCount> m_tiles{};
    CumulativeBar* m_cumulative = nullptr;
    DailyChart* m_chart = nullptr;
    SessionList* m_sessions = nullptr;
};

} // namespace kavro::ui
