// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "models/DoseLevel.h"
#include "ui/style/Colours.h"

#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace kavro::ui {

// A piece of text as the panel shows it: its words, its colour and, where it has
// one, the symbol drawn before it.
struct PanelText {
    QString text;
    ColourRole colour = ColourRole::primary;
    QString symbol;

    friend bool operator==(const PanelText&, const PanelText&) = default;
};

// Everything the panel shows, already worded and coloured. A section that is absent
// (an empty optional) is not shown, and neither is the divider after it.
struct PanelModel {
    struct Header {
        models::DoseLevel level = models::DoseLevel::safe;
        QString symbol; // the band's symbol
        QString title;  // "Hearing Dose"
        PanelText band; // "Safe" in green ... "Over-exposed" in red
        PanelText dose; // "42.5%" in the band colour
        friend bool operator==(const Header&, const Header&) = default;
    };

    struct DoseBar {
        double fillFraction = 0; // 0 to 1: full from 100 % up
        ColourRole colour = ColourRole::green;
        QString accessibleText; // "Dose 42.5%"
        // Only while measuring: how long until the allowance is used up at this level.
        std::optional<PanelText> timeLeft;
        // The line below it naming the level: "at the last minute's level (78.2 dBA)".
        QString timeLeftBasis;
        // The other exposure criteria the user picked to see, and the weekly dose:
        // "OSHA PEL 12% · Week 34%".
        QString criteriaLine;
        friend bool operator==(const DoseBar&, const DoseBar&) = default;
    };

    struct CurrentLevel {
        // "Current Level"; while capture has no input, the words saying so, and no levels.
        PanelText label;
        QString dBA;                                // "85.0 dBA"
        QString dBC;                                // "88.1 dBC"
        std::optional<PanelText> lowFrequencyBadge; // "LF gap +8 dB"
        std::optional<PanelText> peakFlash;         // "Peak: 137 dBC", while flashing
        // What is measured: "Headphones · Built-in Audio, estimated level" or
        // "Microphone · studio_mic".
        QString source;
        friend bool operator==(const CurrentLevel&, const CurrentLevel&) = default;
    };

    struct StatisticCell {
        QString label;   // "Leq 1m", "L10 (loud)"
        PanelText value; // "84.2 dBA", or "—" in the tertiary colour
        // What a screen reader says for the value: its text, or "no value" for the dash.
        QString spokenValue;
        friend bool operator==(const StatisticCell&, const StatisticCell&) = default;
    };

    struct Statistics {
        PanelText title;                    // "Statistics"
        std::array<StatisticCell, 6> cells; // Leq 1m, 10m, 30m, then L10, L50, L90
        friend bool operator==(const Statistics&, const Statistics&) = default;
    };

    struct ActiveSession {
        QString title;                     // "Active Session"
        QString duration;                  // "1h 5m"
        PanelText workstation;             // the session's name, with the keys symbol
        QString average;                   // "Avg: 84.0 dBA"
        QString peak;                      // "Peak: 97.3 dBA"
        QString sessionDose;               // "Session dose: 3.2%"
        std::optional<PanelText> peakDBC;  // "Peak: 136 dBC", when there was one
        std::vector<PanelText> peakBadges; // "≥140 dBC: 1", "≥135 dBC: 3", "≥115 dBA: 2"
        friend bool operator==(const ActiveSession&, const ActiveSession&) = default;
    };

    struct Today {
        PanelText title;                             // "Today"
        std::optional<QString> sessionCount;         // "2 sessions"
        std::optional<QString> totalDuration;        // "1h 20m"
        std::optional<PanelText> peak;               // "Today peak: 137 dBC"
        std::optional<PanelText> count140;           // "≥140: 1" in red
        std::optional<PanelText> count135;           // "≥135: 4" in orange
        std::optional<PanelText> instantaneousPeaks; // "≥115 dBA today: 2"
        std::optional<PanelText> conservativeMode;   // "Conservative dose mode active"
        friend bool operator==(const Today&, const Today&) = default;
    };

    struct Commands {
        // While the session history cannot be saved: says so, above the buttons.
        std::optional<PanelText> historyProblem;
        // While the calibration may not fit what is measured: says why, quietly.
        std::optional<PanelText> calibrationNotice;
        PanelText sessionButton; // "Start Session" / "End Session" with their symbols
        PanelText resetButton;   // "Reset Dose"
        // While true the reset button is replaced by the question and its two answers.
        bool confirmingReset = false;
        QString resetQuestion;   // "Reset dose to 0%?"
        QString cancelButton;    // "Cancel"
        PanelText confirmButton; // "Reset", in red
        friend bool operator==(const Commands&, const Commands&) = default;
    };

    struct Footer {
        PanelText settings;
        PanelText history;
        PanelText updates;
        PanelText quit;
        bool updatesEnabled = false;
        QString updatesToolTip; // why Updates is disabled, when it is
        friend bool operator==(const Footer&, const Footer&) = default;
    };

    Header header;
    DoseBar doseBar;
    std::optional<CurrentLevel> currentLevel;
    std::optional<Statistics> statistics;
    std::optional<ActiveSession> activeSession;
    std::optional<Today> today;
    Commands commands;
    Footer footer;

    friend bool operator==(const PanelModel&, const PanelModel&) = default;
};

} // namespace kavro::ui
