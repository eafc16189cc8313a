// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/panel/PanelModel.h"
#include "ui/panel/TimeLeft.h"

#include <QObject>

#include <chrono>
#include <optional>

namespace kavro::core {
class AppState;
}
namespace kavro::platform {
class Updater;
}

namespace kavro::ui {

// What the panel shows and what its commands do, without any widget: it reads the
// application state, words and colours every value (PanelModel), keeps the panel's
// own state (the peak flash, the reset confirmation) and carries out the commands.
class PanelPresenter : public QObject {
    Q_OBJECT
public:
    // How long the peak flash stays after an alert.
    static constexpr std::chrono::milliseconds kPeakFlashHold{2000};
    // An LF badge appears when the C-weighted level exceeds the A-weighted one by more
    // than this; from the second figure on it turns orange.
    static constexpr double kLowFrequencyGapDb = 6.0;
    static constexpr double kStrongLowFrequencyGapDb = 10.0;

    // Both must outlive the presenter.
    PanelPresenter(core::AppState& state, platform::Updater& updater, QObject* parent = nullptr);
    ~PanelPresenter() override;
    PanelPresenter(const PanelPresenter&) = delete;
    PanelPresenter& operator=(const PanelPresenter&) = delete;

    PanelModel model() const;

    bool peakFlash() const { return m_peakFlash; }
    bool confirmingReset() const { return m_confirmingReset; }

    // Commands.
    void toggleSession();
    void askToResetDose();
    void cancelReset();
    void confirmReset();
    void checkForUpdates();
    // The panel was closed: the next time it opens, it opens without flash or question.
    void resetViewState();

    // The level the time left is worked out at: the last minute's Leq when there is
    // one, else the current level; the higher of that and the C-weighted level when
    // the dose itself counts the higher of the two.
    struct TimeLeftLevel {
        double levelDb = 0;
        TimeLeft::Basis basis = TimeLeft::Basis::current;
    };
    TimeLeftLevel timeLeftLevel() const;

    // The pieces with thresholds, for views and tests alike.
    static std::optional<PanelText> lowFrequencyBadge(double dBA, double dBC);
    static ColourRole sessionPeakColour(double peakDBC);

signals:
    // Something the model shows may have changed.
    void changed();
    void peakFlashChanged(bool shown);

private:
    void audioChanged();
    void setPeakFlash(bool shown);

    PanelModel::Header header() const;
    PanelModel::DoseBar doseBar() const;
    QString criteriaLine() const;
    std::optional<PanelModel::CurrentLevel> currentLevel() const;
    std::optional<PanelModel::Statistics> statistics() const;
    std::optional<PanelModel::ActiveSession> activeSession() const;
    std::optional<PanelModel::Today> today() const;
    PanelModel::Commands commands() const;
    PanelModel::Footer footer() const;

    core::AppState& m_state;
    platform::Updater& m_updater;
    bool m_peakFlash = false;
    bool m_confirmingReset = false;
    bool m_lastPeakAlert = false;
    // The highest C-weighted peak since the flash was raised.
    double m_flashPeakDBC = 0;
};

} // namespace kavro::ui
