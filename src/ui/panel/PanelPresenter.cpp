// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/panel/PanelPresenter.h"

#include "core/AppState.h"
#include "core/CalibrationCenter.h"
#include "core/WarningDose.h"
#include "dsp/ExposureLimits.h"
#include "models/CriteriaText.h"
#include "models/NumberText.h"
#include "models/Session.h"
#include "platform/Updater.h"
#include "services/AudioMeasurementService.h"
#include "services/CriteriaMeter.h"
#include "services/DoseCalculator.h"
#include "services/LeqStatisticsService.h"
#include "services/SessionManager.h"
#include "ui/style/BandIcons.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace kavro::ui {

using models::fixedText;

namespace {

const QString kWaveform = QStringLiteral("waveform");
const QString kWarningTriangle = QStringLiteral("exclamationmark.triangle.fill");
const QString kBolt = QStringLiteral("bolt");
const QString kBoltFill = QStringLiteral("bolt.fill");
const QString kCriteriaSeparator = QStringLiteral(" · ");
const QString kWeekLabel = QStringLiteral("Week ");

QString decibels(double value, const char* unit) {
    return fixedText(value, 1) + QLatin1String(unit);
}

// A percentage as the panel prints it. Negative zero would print as "-0.0%".
QString percent(double value) {
    return fixedText(value == 0.0 ? 0.0 : value, 1) + QLatin1Char('%');
}

PanelModel::StatisticCell cell(const QString& label, const std::optional<double>& value) {
    if (value) {
        const QString text = decibels(*value, " dBA");
        return {label, {text, ColourRole::primary, {}}, text};
    }
    return {label, {QStringLiteral("—"), ColourRole::tertiary, {}}, QStringLiteral("no value")};
}

// "≥140 dBC": a limit the panel counts peaks against.
QString atLeast(double limit, const char* unit = "") {
    return QStringLiteral("≥") + fixedText(limit, 0) + QLatin1String(unit);
}

QString count(std::int64_t value) {
    return QString::number(value);
}

} // namespace

PanelPresenter::PanelPresenter(core::AppState& state, platform::Updater& updater, QObject* parent)
    : QObject(parent), m_state(state), m_updater(updater) {
    connect(&m_state, &core::AppState::changed, this, &PanelPresenter::changed);
    // The alert edge is taken from the measurement service itself: the state's own
    // announcements arrive a turn later and could fold a rise and a fall into one.
    connect(&m_state.audioService(), &services::AudioMeasurementService::changed, this,
            &PanelPresenter::audioChanged);
    m_lastPeakAlert = m_state.audioService().peakAlert();
    m_updater.onCanCheckForUpdatesChanged = [this](bool) { emit changed(); };
}

PanelPresenter::~PanelPresenter() {
    m_updater.onCanCheckForUpdatesChanged = nullptr;
}

void PanelPresenter::audioChanged() {
    const auto& audio = m_state.audioService();
    const bool alert = audio.peakAlert();
    const bool rose = alert && !m_lastPeakAlert;
    m_lastPeakAlert = alert;
    if (m_peakFlash) {
        m_flashPeakDBC = std::max(m_flashPeakDBC, audio.peakDBC());
    }
    if (!rose) {
        return;
    }
    // The flash names the peak that raised it: the live peak is back to the music's
    // own a buffer later, and "Peak: 97 dBC" under a 137 dBC alert would mislead.
    m_flashPeakDBC = m_peakFlash ? std::max(m_flashPeakDBC, audio.peakDBC()) : audio.peakDBC();
    setPeakFlash(true);
    // Every alert hides the flash 2 s after itself, also when a later alert has shown
    // it again in the meantime.
    QTimer::singleShot(kPeakFlashHold, Qt::PreciseTimer, this, [this] { setPeakFlash(false); });
}

void PanelPresenter::setPeakFlash(bool shown) {
    if (m_peakFlash == shown) {
        return;
    }
    m_peakFlash = shown;
    emit peakFlashChanged(shown);
    emit changed();
}

// ---- commands ----

void PanelPresenter::toggleSession() {
    if (m_state.sessionManager().currentSession()) {
        m_state.endSession();
    } else {
        m_state.startSession(models::Session::kManualSessionName);
    }
    emit changed();
}

void PanelPresenter::askToResetDose() {
    m_confirmingReset = true;
    emit changed();
}

void PanelPresenter::cancelReset() {
    m_confirmingReset = false;
    emit changed();
}

void PanelPresenter::confirmReset() {
    m_state.resetDose();
    m_confirmingReset = false;
    emit changed();
}

void PanelPresenter::checkForUpdates() {
    if (m_updater.canCheckForUpdates()) {
        m_updater.checkForUpdates();
    }
}

void PanelPresenter::resetViewState() {
    m_confirmingReset = false;
    setPeakFlash(false);
    emit changed();
}

// ---- rules with thresholds ----

std::optional<PanelText> PanelPresenter::lowFrequencyBadge(double dBA, double dBC) {
    // Without a C-weighted level there is nothing to compare.
    if (!(dBC > 0.0)) {
        return std::nullopt;
    }
    const double gap = dBC - dBA;
    if (!(gap > kLowFrequencyGapDb)) {
        return std::nullopt;
    }
    const QString text = QStringLiteral("LF gap +") + fixedText(gap, 0) + QStringLiteral(" dB");
    if (gap >= kStrongLowFrequencyGapDb) {
        return PanelText{text, ColourRole::orange, kWarningTriangle};
    }
    return PanelText{text, ColourRole::yellow, QStringLiteral("waveform.badge.exclamationmark")};
}

ColourRole PanelPresenter::sessionPeakColour(double peakDBC) {
    if (peakDBC >= dsp::eu::kPeakLimitDbc) {
        return ColourRole::red;
    }
    if (peakDBC >= dsp::eu::kPeakLowerActionDbc) {
        return ColourRole::orange;
    }
    return ColourRole::secondary;
}

PanelPresenter::TimeLeftLevel PanelPresenter::timeLeftLevel() const {
    const auto& audio = m_state.audioService();
    const std::optional<double> lastMinute = m_state.leqStatistics().leq1min();
    const TimeLeftLevel level{lastMinute.value_or(audio.currentSPL()),
                              lastMinute ? TimeLeft::Basis::lastMinute : TimeLeft::Basis::current};
    if (m_state.conservativeDoseMode() && audio.currentDBC() > level.levelDb) {
        return {audio.currentDBC(), TimeLeft::Basis::currentCWeighted};
    }
    return level;
}

// ---- the model ----

PanelModel PanelPresenter::model() const {
    PanelModel result;
    result.header = header();
    result.doseBar = doseBar();
    result.currentLevel = currentLevel();
    result.statistics = statistics();
    result.activeSession = activeSession();
    result.today = today();
    result.commands = commands();
    result.footer = footer();
    return result;
}

PanelModel::Header PanelPresenter::header() const {
    // The dose that warns: the daily dose unless the user chose another.
    const core::WarningDose& warning = m_state.warningDose();
    const models::DoseLevel level = warning.level();
    const ColourRole colour = bandRole(level);
    QString title = QStringLiteral("Hearing Dose");
    if (warning.choice() != core::WarningDose::Choice::nioshDaily) {
        title += kCriteriaSeparator +
                 models::criteriaText::title(core::WarningDose::criterionOf(warning.choice()));
    }
    return {level,
            BandIcons::symbolName(level),
            title,
            {models::label(level), colour, {}},
            {percent(warning.percentage()), colour, {}}};
}

QString PanelPresenter::criteriaLine() const {
    namespace text = models::criteriaText;
    const core::WarningDose& warning = m_state.warningDose();
    const double weekly = warning.weeklyPercentage() / 100.0;
    QStringList parts;
    const auto figures = m_state.criteriaMeter().figures(m_state.doseCalculator().accumulatedDose(), weekly);
    for (const dsp::criteria::Criterion criterion : text::parseList(m_state.visibleCriteria())) {
        if (criterion != dsp::criteria::Criterion::whoWeekly) {
            const auto& figure = figures[static_cast<qsizetype>(criterion)];
            parts << text::title(criterion) + QLatin1Char(' ') + text::doseText(criterion, figure.dose);
        }
    }
    parts << kWeekLabel + text::doseText(dsp::criteria::Criterion::whoWeekly, weekly);
    return parts.join(kCriteriaSeparator);
}

PanelModel::DoseBar PanelPresenter::doseBar() const {
    const core::WarningDose& warning = m_state.warningDose();
    const double percentage = warning.percentage();
    PanelModel::DoseBar bar;
    bar.fillFraction =
        std::isfinite(percentage) ? std::clamp(percentage / 100.0, 0.0, 1.0) : (percentage > 0 ? 1.0 : 0.0);
    bar.colour = bandRole(warning.level());
    bar.criteriaLine = criteriaLine();
    bar.accessibleText = QStringLiteral("Dose ") + percent(percentage);
    if (m_state.audioService().isRunning()) {
        const TimeLeftLevel level = timeLeftLevel();
        // From the published dose, as the header's, so the two never disagree.
        const TimeLeft left = warning.choice() == core::WarningDose::Choice::nioshDaily
                                  ? TimeLeft::at(percentage / 100.0, level.levelDb)
                                  : TimeLeft::forCriterion(core::WarningDose::criterionOf(warning.choice()),
                                                           percentage / 100.0, level.levelDb);
        bar.timeLeft =
            PanelText{left.text(),
                      left.kind == TimeLeft::Kind::limitReached ? ColourRole::red : ColourRole::secondary,
                      {}};
        if (left.kind != TimeLeft::Kind::limitReached && std::isfinite(level.levelDb)) {
            bar.timeLeftBasis = TimeLeft::basisText(level.basis, level.levelDb);
        }
    }
    return bar;
}

std::optional<PanelModel::CurrentLevel> PanelPresenter::currentLevel() const {
    const auto& audio = m_state.audioService();
    if (audio.isRetrying()) {
        // Said in words: a level that silently disappears looks like measuring that
        // simply goes on.
        PanelModel::CurrentLevel section;
        section.label = {QStringLiteral("Not measuring: no input — retrying"), ColourRole::orange,
                         kWarningTriangle};
        section.source = m_state.measuredSourceText();
        return section;
    }
    if (!audio.isRunning()) {
        return std::nullopt;
    }
    PanelModel::CurrentLevel section;
    section.label = {QStringLiteral("Current Level"), ColourRole::secondary, kWaveform};
    section.dBA = decibels(audio.currentSPL(), " dBA");
    section.dBC = decibels(audio.currentDBC(), " dBC");
    section.lowFrequencyBadge = lowFrequencyBadge(audio.currentSPL(), audio.currentDBC());
    section.source = m_state.measuredSourceText();
    if (m_peakFlash) {
        section.peakFlash =
            PanelText{QStringLiteral("Peak: ") + fixedText(m_flashPeakDBC, 0) + QStringLiteral(" dBC"),
                      ColourRole::red, kBoltFill};
    }
    return section;
}

std::optional<PanelModel::Statistics> PanelPresenter::statistics() const {
    if (!m_state.audioService().isRunning()) {
        return std::nullopt;
    }
    const auto& leq = m_state.leqStatistics();
    return PanelModel::Statistics{
        {QStringLiteral("Statistics"), ColourRole::secondary, QStringLiteral("chart.line.uptrend.xyaxis")},
        {cell(QStringLiteral("Leq 1m"), leq.leq1min()), cell(QStringLiteral("Leq 10m"), leq.leq10min()),
         cell(QStringLiteral("Leq 30m"), leq.leq30min()), cell(QStringLiteral("L10 (loud)"), leq.l10()),
         cell(QStringLiteral("L50 (median)"), leq.l50()),
         cell(QStringLiteral("L90 (background)"), leq.l90())}};
}

std::optional<PanelModel::ActiveSession> PanelPresenter::activeSession() const {
    const auto& current = m_state.sessionManager().currentSession();
    if (!current) {
        return std::nullopt;
    }
    const auto& dose = m_state.doseCalculator();
    PanelModel::ActiveSession section;
    section.title = QStringLiteral("Active Session");
    section.duration = current->durationFormatted(m_state.sessionManager().sessionNow());
    section.workstation = {current->dawName, ColourRole::primary, QStringLiteral("pianokeys")};
    section.average = QStringLiteral("Avg: ") + decibels(current->averageSPL, " dBA");
    section.peak = QStringLiteral("Peak: ") + decibels(current->peakSPL, " dBA");
    // The session's share of the day, not the day's dose. Taken from the published dose
    // that the header shows: the running total is a tick ahead of it, and the session
    // would read higher than the whole day.
    const double share = std::max(0.0, dose.dosePercentage() - dose.sessionStartDose() * 100.0);
    section.sessionDose = QStringLiteral("Session dose: ") + percent(share);
    if (current->peakDBC > 0) {
        section.peakDBC =
            PanelText{QStringLiteral("Peak: ") + fixedText(current->peakDBC, 0) + QStringLiteral(" dBC"),
                      sessionPeakColour(current->peakDBC),
                      {}};
    }
    if (current->peakCount140 >= 1) {
        section.peakBadges.push_back(
            {atLeast(dsp::eu::kPeakLimitDbc, " dBC: ") + count(current->peakCount140), ColourRole::red,
             kBoltFill});
    }
    if (current->peakCount135 >= 1) {
        section.peakBadges.push_back(
            {atLeast(dsp::eu::kPeakLowerActionDbc, " dBC: ") + count(current->peakCount135),
             ColourRole::orange, kBolt});
    }
    if (current->peakDBACount115 >= 1) {
        section.peakBadges.push_back(
            {atLeast(dsp::eu::kInstantaneousPeakDba, " dBA: ") + count(current->peakDBACount115),
             ColourRole::red, kWarningTriangle});
    }
    return section;
}

std::optional<PanelModel::Today> PanelPresenter::today() const {
    const auto& sessions = m_state.sessionManager();
    const auto& dose = m_state.doseCalculator();
    const QList<models::Session> todays = sessions.todaysSessions();
    if (todays.isEmpty() && !(dose.todayPeakDBC() > 0)) {
        return std::nullopt;
    }
    PanelModel::Today section;
    section.title = {QStringLiteral("Today"), ColourRole::primary, QStringLiteral("calendar")};
    if (!todays.isEmpty()) {
        // One plural for every count, one included.
        section.sessionCount = QString::number(todays.size()) + QStringLiteral(" sessions");
        section.totalDuration = sessions.todaysTotalDurationFormatted();
    }
    if (dose.todayPeakDBC() > 0) {
        section.peak = PanelText{QStringLiteral("Today peak: ") + fixedText(dose.todayPeakDBC(), 0) +
                                     QStringLiteral(" dBC"),
                                 ColourRole::secondary,
                                 {}};
        if (dose.peakCount140() >= 1) {
            section.count140 = PanelText{
                atLeast(dsp::eu::kPeakLimitDbc, ": ") + count(dose.peakCount140()), ColourRole::red, {}};
        }
        if (dose.peakCount135() >= 1) {
            section.count135 =
                PanelText{atLeast(dsp::eu::kPeakLowerActionDbc, ": ") + count(dose.peakCount135()),
                          ColourRole::orange,
                          {}};
        }
    }
    if (dose.peakDBACount115() >= 1) {
        section.instantaneousPeaks =
            PanelText{atLeast(dsp::eu::kInstantaneousPeakDba, " dBA today: ") + count(dose.peakDBACount115()),
                      ColourRole::red, kWarningTriangle};
    }
    if (m_state.conservativeDoseMode()) {
        section.conservativeMode = PanelText{QStringLiteral("Conservative dose mode active"),
                                             ColourRole::blue, QStringLiteral("shield.checkered")};
    }
    return section;
}

PanelModel::Commands PanelPresenter::commands() const {
    PanelModel::Commands section;
    if (m_state.sessionManager().historySaveProblem()) {
        section.historyProblem =
            PanelText{QStringLiteral("History not saved — retrying"), ColourRole::orange, kWarningTriangle};
    }
    if (auto line = m_state.calibration().misfitLine()) {
        section.calibrationNotice = PanelText{*line, ColourRole::secondary, QStringLiteral("info.circle")};
    }
    if (m_state.sessionManager().currentSession()) {
        section.sessionButton = {QStringLiteral("End Session"), ColourRole::primary,
                                 QStringLiteral("stop.circle")};
    } else {
        section.sessionButton = {QStringLiteral("Start Session"), ColourRole::primary,
                                 QStringLiteral("play.circle")};
    }
    section.resetButton = {QStringLiteral("Reset Dose"), ColourRole::primary,
                           QStringLiteral("arrow.counterclockwise")};
    section.confirmingReset = m_confirmingReset;
    section.resetQuestion = QStringLiteral("Reset dose to 0%?");
    section.cancelButton = QStringLiteral("Cancel");
    section.confirmButton = {QStringLiteral("Reset"), ColourRole::red, {}};
    return section;
}

PanelModel::Footer PanelPresenter::footer() const {
    PanelModel::Footer section;
    section.settings = {QStringLiteral("Settings"), ColourRole::primary, QStringLiteral("gear")};
    section.history = {QStringLiteral("History"), ColourRole::primary, QStringLiteral("clock")};
    section.updates = {QStringLiteral("Updates"), ColourRole::primary,
                       QStringLiteral("arrow.triangle.2.circlepath")};
    section.quit = {QStringLiteral("Quit"), ColourRole::primary, QStringLiteral("power")};
    section.updatesEnabled = m_updater.canCheckForUpdates();
    if (!section.updatesEnabled) {
        section.updatesToolTip = QStringLiteral("Updates come from your package manager");
    }
    return section;
}

} // namespace kavro::ui
