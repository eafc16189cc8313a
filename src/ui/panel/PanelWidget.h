// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/panel/PanelModel.h"
#include "ui/widgets/RefreshPacer.h"

#include <QWidget>

#include <array>
#include <functional>

class QAbstractButton;
class QPushButton;
class QToolButton;

namespace kavro::core {
class AppState;
}
namespace kavro::platform {
class Updater;
}

namespace kavro::ui {

class Divider;
class DoseBar;
class PanelPresenter;
class PeakFlashRow;
class SymbolLabel;

// What the panel's footer opens or ends; the program that hosts the panel decides how.
struct PanelActions {
    std::function<void()> openSettings;
    std::function<void()> openHistory;
    std::function<void()> quit;
};

// Kavro's main screen: the day's dose and band, the live levels, the statistics, the
// running session, today's summary, the session and reset commands and the footer.
// 320 pixels wide; its height follows the sections shown. The widgets only draw what
// the presenter worded; a value that changes repaints itself alone.
class PanelWidget : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 320;

    // The state and the updater must outlive the panel.
    PanelWidget(core::AppState& state, platform::Updater& updater, PanelActions actions,
                QWidget* parent = nullptr);
    ~PanelWidget() override;

    const PanelPresenter& presenter() const { return *m_presenter; }

    // Reads the state at once and takes the size that follows. The panel does this
    // itself when it is shown; a host that places a popup by the panel's size calls
    // it first, because a hidden panel does not follow the state.
    void refreshNow();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct StatisticCellWidgets {
        SymbolLabel* label = nullptr;
        SymbolLabel* value = nullptr;
    };

    QWidget* buildHeader();
    QWidget* buildDoseBar();
    QWidget* buildCurrentLevel();
    QWidget* buildStatistics();
    QWidget* buildActiveSession();
    QWidget* buildToday();
    QWidget* buildCommands();
    QWidget* buildFooter();
    // Adds a section and, when asked, the divider after it.
    Divider* addSection(QWidget* section, bool withDivider);

    void apply(const PanelModel& model);
    void applyHeader(const PanelModel::Header& header);
    void applyDoseBar(const PanelModel::DoseBar& bar);
    void applyCurrentLevel(const PanelModel::CurrentLevel& level);
    void applyStatistics(const PanelModel::Statistics& statistics);
    void applyActiveSession(const PanelModel::ActiveSession& session);
    void applyToday(const PanelModel::Today& today);
    void applyCommands(const PanelModel::Commands& commands);
    void applyFooter(const PanelModel::Footer& footer);
    void setButton(QAbstractButton* button, const PanelText& content);
    void retintButtons();

    PanelPresenter* m_presenter = nullptr;
    PanelActions m_actions;
    RefreshPacer* m_refreshPacer = nullptr;
    PanelModel m_shown;

    // Each section and the divider after it.
    QWidget* m_currentLevelSection = nullptr;
    QWidget* m_statisticsSection = nullptr;
    QWidget* m_sessionSection = nullptr;
    QWidget* m_todaySection = nullptr;
    Divider* m_currentLevelDivider = nullptr;
    Divider* m_statisticsDivider = nullptr;
    Divider* m_sessionDivider = nullptr;
    Divider* m_todayDivider = nullptr;

    // Header and dose bar.
    SymbolLabel* m_bandSymbol = nullptr;
    SymbolLabel* m_title = nullptr;
    SymbolLabel* m_bandLabel = nullptr;
    SymbolLabel* m_dose = nullptr;
    DoseBar* m_doseBar = nullptr;
    SymbolLabel* m_timeLeft = nullptr;
    SymbolLabel* m_timeLeftBasis = nullptr;
    SymbolLabel* m_criteriaLine = nullptr;

    // Current level.
    SymbolLabel* m_levelLabel = nullptr;
    SymbolLabel* m_dBA = nullptr;
    SymbolLabel* m_dBC = nullptr;
    SymbolLabel* m_lowFrequencyBadge = nullptr;
    SymbolLabel* m_source = nullptr;
    PeakFlashRow* m_peakFlash = nullptr;

    // Statistics.
    SymbolLabel* m_statisticsTitle = nullptr;
    std::array<StatisticCellWidgets, 6> m_cells{};

    // Active session.
    SymbolLabel* m_sessionTitle = nullptr;
    SymbolLabel* m_sessionDuration = nullptr;
    SymbolLabel* m_workstation = nullptr;
    SymbolLabel* m_sessionAverage = nullptr;
    SymbolLabel* m_sessionPeak = nullptr;
    SymbolLabel* m_sessionDose = nullptr;
    SymbolLabel* m_sessionPeakDBC = nullptr;
    QWidget* m_badgeRow = nullptr;
    std::array<SymbolLabel*, 3> m_badges{};

    // Today.
    SymbolLabel* m_todayTitle = nullptr;
    SymbolLabel* m_todayCount = nullptr;
    SymbolLabel* m_todayDuration = nullptr;
    QWidget* m_todayPeakRow = nullptr;
    SymbolLabel* m_todayPeak = nullptr;
    SymbolLabel* m_todayCount140 = nullptr;
    SymbolLabel* m_todayCount135 = nullptr;
    SymbolLabel* m_todayInstantaneous = nullptr;
    SymbolLabel* m_conservative = nullptr;

    // Commands and footer.
    SymbolLabel* m_historyProblem = nullptr;
    SymbolLabel* m_calibrationNotice = nullptr;
    QPushButton* m_sessionButton = nullptr;
    QPushButton* m_resetButton = nullptr;
    QWidget* m_confirmation = nullptr;
    SymbolLabel* m_resetQuestion = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_confirmButton = nullptr;
    QToolButton* m_settingsButton = nullptr;
    QToolButton* m_historyButton = nullptr;
    QToolButton* m_updatesButton = nullptr;
    QToolButton* m_quitButton = nullptr;
};

} // namespace kavro::ui
