// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's words, colours and sections, read from the whole application state over
// fakes, and the rules with thresholds as tables.
#include "ui/panel/PanelPresenter.h"

#include "models/NumberText.h"
#include "platform/SettingKey.h"
#include "services/LeqStatisticsService.h"
#include "support/ParamNames.h"
#include "support/WaitUntil.h"
#include "ui/PanelFixture.h"
#include "ui/panel/PanelModel.h"
#include "ui/style/BandIcons.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>

namespace kavro {
namespace {

using models::DoseLevel;
using ui::ColourRole;
using ui::PanelPresenter;
using ui::TimeLeft;

class PanelPresenterTest : public testing::PanelFixture {
protected:
    ui::PanelModel model() const { return presenter->model(); }

    std::unique_ptr<PanelPresenter> presenter = std::make_unique<PanelPresenter>(*state, updater);
};

// ---- sections ----

using kavro::testing::PrintTo;

struct SectionCase {
    const char* name;
    bool measuring;
    bool endSession;
    bool currentLevel, statistics, activeSession, today;
};

class PanelSectionsTest : public PanelPresenterTest, public ::testing::WithParamInterface<SectionCase> {};

TEST_P(PanelSectionsTest, SectionsFollowTheState) {
    const SectionCase& c = GetParam();
    if (c.measuring) {
        startSession();
        play(1000.0, 1.0);
        listen(5);
    }
    if (c.endSession) {
        state->endSession();
        settle();
    }
    const ui::PanelModel shown = model();
    EXPECT_EQ(shown.currentLevel.has_value(), c.currentLevel);
    EXPECT_EQ(shown.statistics.has_value(), c.statistics);
    EXPECT_EQ(shown.activeSession.has_value(), c.activeSession);
    EXPECT_EQ(shown.today.has_value(), c.today);
    EXPECT_EQ(shown.doseBar.timeLeft.has_value(), c.measuring && !c.endSession);
}

INSTANTIATE_TEST_SUITE_P(
    States, PanelSectionsTest,
    ::testing::Values(SectionCase{"stopped", false, false, false, false, false, false},
                      // A tone has C-weighted peaks, so today has a peak as soon as it is measured.
                      SectionCase{"measuring", true, false, true, true, true, true},
                      SectionCase{"afterSession", true, true, false, false, false, true}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(PanelPresenterTest, OneFinishedSessionTodayIsCountedWithThePluralAndItsDuration) {
    startSession();
    play(1000.0, 1.0);
    listen(65 * 60);
    state->endSession();
    settle();
    const auto today = model().today;
    ASSERT_TRUE(today);
    EXPECT_EQ(today->sessionCount, QStringLiteral("1 sessions"));
    EXPECT_EQ(today->totalDuration, QStringLiteral("1h 5m"));
    EXPECT_TRUE(today->peak);
}

// ---- header and bar ----

struct DoseCase {
    double percent;
    const char* text;
    DoseLevel level;
    double fill;
};

void PrintTo(const DoseCase& dose, std::ostream* os) {
    *os << dose.percent << " percent";
}

class PanelDoseTest : public PanelPresenterTest, public ::testing::WithParamInterface<DoseCase> {};

TEST_P(PanelDoseTest, HeaderAndBarFollowTheDose) {
    const DoseCase& c = GetParam();
    setDose(c.percent);
    const ui::PanelModel shown = model();
    EXPECT_EQ(shown.header.dose.text, QLatin1String(c.text));
    EXPECT_EQ(shown.header.level, c.level);
    EXPECT_EQ(shown.header.band.text, models::label(c.level));
    EXPECT_EQ(shown.header.symbol, ui::BandIcons::symbolName(c.level));
    EXPECT_EQ(shown.header.dose.colour, ui::bandRole(c.level));
    EXPECT_EQ(shown.doseBar.colour, ui::bandRole(c.level));
    EXPECT_DOUBLE_EQ(shown.doseBar.fillFraction, c.fill);
}

INSTANTIATE_TEST_SUITE_P(Doses, PanelDoseTest,
                         ::testing::Values(DoseCase{0, "0.0%", DoseLevel::safe, 0.0},
                                           DoseCase{39.9, "39.9%", DoseLevel::safe, 0.399},
                                           DoseCase{42.5, "42.5%", DoseLevel::caution, 0.425},
                                           DoseCase{70, "70.0%", DoseLevel::warning, 0.7},
                                           DoseCase{100, "100.0%", DoseLevel::danger, 1.0},
                                           DoseCase{150, "150.0%", DoseLevel::danger, 1.0}),
                         kavro::testing::PrintedName());

// ---- current level ----

struct BadgeCase {
    double dBA, dBC;
    const char* text; // empty: no badge
    ColourRole colour;
    const char* symbol;
};

void PrintTo(const BadgeCase& badge, std::ostream* os) {
    *os << badge.dBA << " dBA " << badge.dBC << " dBC";
}

class LowFrequencyBadgeTest : public ::testing::TestWithParam<BadgeCase> {};

TEST_P(LowFrequencyBadgeTest, AppearsAboveSixDecibelsAndTurnsOrangeFromTen) {
    const BadgeCase& c = GetParam();
    const auto badge = PanelPresenter::lowFrequencyBadge(c.dBA, c.dBC);
    if (QLatin1String(c.text).isEmpty()) {
        EXPECT_FALSE(badge) << badge->text.toStdString();
        return;
    }
    ASSERT_TRUE(badge);
    EXPECT_EQ(badge->text, QLatin1String(c.text));
    EXPECT_EQ(badge->colour, c.colour);
    EXPECT_EQ(badge->symbol, QLatin1String(c.symbol));
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, LowFrequencyBadgeTest,
    ::testing::Values(
        BadgeCase{80.0, 86.0, "", {}, ""},
        BadgeCase{80.0, 86.1, "LF gap +6 dB", ColourRole::yellow, "waveform.badge.exclamationmark"},
        BadgeCase{80.0, 88.2, "LF gap +8 dB", ColourRole::yellow, "waveform.badge.exclamationmark"},
        BadgeCase{80.0, 89.99, "LF gap +10 dB", ColourRole::yellow, "waveform.badge.exclamationmark"},
        BadgeCase{80.0, 90.0, "LF gap +10 dB", ColourRole::orange, "exclamationmark.triangle.fill"},
        // Without a C-weighted level there is no gap, however large it looks.
        BadgeCase{-20.0, 0.0, "", {}, ""}, BadgeCase{-40.0, -1.0, "", {}, ""},
        BadgeCase{90.0, 85.0, "", {}, ""}),
    kavro::testing::PrintedName());

TEST_F(PanelPresenterTest, ALowToneShowsTheLevelsAndTheOrangeBadge) {
    startSession();
    play(50.0, 1.0);
    const auto level = model().currentLevel;
    ASSERT_TRUE(level);
    const auto& audio = state->audioService();
    EXPECT_EQ(level->dBA, models::fixedText(audio.currentSPL(), 1) + QStringLiteral(" dBA"));
    EXPECT_EQ(level->dBC, models::fixedText(audio.currentDBC(), 1) + QStringLiteral(" dBC"));
    ASSERT_TRUE(level->lowFrequencyBadge);
    EXPECT_EQ(level->lowFrequencyBadge->colour, ColourRole::orange);

    play(1000.0, 1.0);
    EXPECT_FALSE(model().currentLevel->lowFrequencyBadge);
}

// Capture that lost its input says so where the level was, and keeps trying.
TEST_F(PanelPresenterTest, WithoutAnInputThePanelSaysItIsNotMeasuring) {
    backend.startError = QStringLiteral("no input");
    startSession();
    const auto level = model().currentLevel;
    ASSERT_TRUE(level);
    EXPECT_EQ(level->label.text, "Not measuring: no input — retrying");
    EXPECT_EQ(level->label.colour, ColourRole::orange);
    EXPECT_TRUE(level->dBA.isEmpty());
    EXPECT_FALSE(model().doseBar.timeLeft);
}

// ---- peak flash ----

class PeakFlashTest : public PanelPresenterTest {
protected:
    void SetUp() override {
        // A full-scale tone then peaks above 140 dBC and a quiet one stays far below 135.
        state->setCalibrationOffset(141.0);
        startSession();
        play(1000.0, 0.001);
    }

    void alert() { play(1000.0, 1.0, 1); }
    void quiet() { play(1000.0, 0.001, 2); }
};

TEST_F(PeakFlashTest, AnAlertShowsThePeakThatRaisedItUntilTwoSecondsLater) {
    ASSERT_FALSE(presenter->peakFlash());
    QElapsedTimer elapsed;
    elapsed.start();
    alert();
    const double alertPeak = state->audioService().peakDBC();
    ASSERT_GE(alertPeak, 135.0);
    quiet();
    ASSERT_TRUE(presenter->peakFlash());
    const auto flash = model().currentLevel->peakFlash;
    ASSERT_TRUE(flash);
    // The alert's own peak, not the quiet peak measured since.
    EXPECT_EQ(flash->text,
              QStringLiteral("Peak: ") + models::fixedText(alertPeak, 0) + QStringLiteral(" dBC"));
    EXPECT_EQ(flash->colour, ColourRole::red);

    ASSERT_TRUE(kavro::testing::waitUntil([&] { return !presenter->peakFlash(); }, 4000));
    EXPECT_GE(elapsed.elapsed(), PanelPresenter::kPeakFlashHold.count() - 50);
    EXPECT_FALSE(model().currentLevel->peakFlash);
}

TEST_F(PeakFlashTest, EachAlertSchedulesItsOwnReset) {
    QElapsedTimer elapsed;
    elapsed.start();
    alert();
    quiet();
    QTest::qWait(1200);
    alert(); // within the first alert's two seconds
    quiet();
    ASSERT_TRUE(presenter->peakFlash());
    // The first alert's reset hides the flash at 2 s; it is not pushed back by the second.
    ASSERT_TRUE(kavro::testing::waitUntil([&] { return !presenter->peakFlash(); }, 4000));
    EXPECT_LT(elapsed.elapsed(), 1200 + PanelPresenter::kPeakFlashHold.count() - 200);
}

TEST_F(PeakFlashTest, OnlyARisingAlertFlashes) {
    quiet();
    EXPECT_FALSE(presenter->peakFlash());
    alert();
    ASSERT_TRUE(presenter->peakFlash());
    presenter->resetViewState(); // the panel closed
    EXPECT_FALSE(presenter->peakFlash());
    alert(); // still above the limit: no new alert, no new flash
    EXPECT_FALSE(presenter->peakFlash());
    quiet();
    alert();
    EXPECT_TRUE(presenter->peakFlash());
}

// ---- history ----

// A history that cannot be written is told once, and shown until a save succeeds: the
// next end of a session, or the retry a minute later.
TEST_F(PanelPresenterTest, AFailedHistorySaveIsShownUntilASaveSucceeds) {
    const auto failureNotices = [&] {
        return std::count_if(notifications.requests().cbegin(), notifications.requests().cend(),
                             [](const auto& request) { return request.identifier == "history-save-failed"; });
    };
    files.writeError = QStringLiteral("No space left on device");
    for (int session = 0; session < 2; ++session) {
        startSession();
        clock.advance(60);
        state->endSession();
        settle();
        ASSERT_TRUE(model().commands.historyProblem) << session;
        EXPECT_EQ(model().commands.historyProblem->colour, ColourRole::orange);
    }
    EXPECT_EQ(failureNotices(), 1);
    EXPECT_EQ(state->sessionManager().sessionHistory().size(), 2) << "kept in memory";

    files.writeError.reset();
    clock.advance(60);
    state->dayCheckTick();
    settle();
    EXPECT_FALSE(model().commands.historyProblem);
    EXPECT_EQ(services::SessionManager(clock, files, kDataFolder).sessionHistory().size(), 2);
    EXPECT_EQ(failureNotices(), 1);
}

// ---- session ----

TEST_F(PanelPresenterTest, SessionDoseIsTheSessionsShareNotTheDays) {
    setDose(30.0);
    startSession();
    play(1000.0, 1.0);
    listen(6 * 60);
    const auto& dose = state->doseCalculator();
    const double share = dose.dosePercentage() - dose.sessionStartDose() * 100.0;
    ASSERT_GT(share, 1.0);
    const auto session = model().activeSession;
    ASSERT_TRUE(session);
    EXPECT_EQ(session->sessionDose,
              QStringLiteral("Session dose: ") + models::fixedText(share, 1) + QLatin1Char('%'));
    EXPECT_EQ(session->duration, QStringLiteral("6m"));
    EXPECT_EQ(session->workstation.text, models::Session::kManualSessionName);
    EXPECT_TRUE(session->average.startsWith(QStringLiteral("Avg: 9")));
}

TEST(SessionPeakColourTest, RedFrom140OrangeFrom135) {
    const std::vector<std::pair<double, ColourRole>> cases{
        {120.0, ColourRole::secondary}, {134.9, ColourRole::secondary}, {135.0, ColourRole::orange},
        {139.9, ColourRole::orange},    {140.0, ColourRole::red},       {152.0, ColourRole::red}};
    for (const auto& [peak, colour] : cases) {
        EXPECT_EQ(PanelPresenter::sessionPeakColour(peak), colour) << peak;
    }
}

TEST_F(PanelPresenterTest, SessionPeaksAndBadgesAppearOnlyWhenThereWereAny) {
    startSession();
    play(1000.0, 0.5);
    listen(1);
    auto session = model().activeSession;
    ASSERT_TRUE(session);
    ASSERT_TRUE(session->peakDBC); // a tone has a C-weighted peak
    EXPECT_EQ(session->peakDBC->colour, ColourRole::secondary);
    EXPECT_TRUE(session->peakBadges.empty());

    // Peaks above 140 dBC count towards both C-weighted limits.
    state->setCalibrationOffset(141.0);
    play(1000.0, 1.0, 3);
    listen(0.3);
    session = model().activeSession;
    ASSERT_EQ(session->peakDBC->colour, ColourRole::red);
    ASSERT_EQ(session->peakBadges.size(), 3u);
    EXPECT_TRUE(session->peakBadges[0].text.startsWith(QStringLiteral("≥140 dBC: ")));
    EXPECT_TRUE(session->peakBadges[1].text.startsWith(QStringLiteral("≥135 dBC: ")));
    EXPECT_TRUE(session->peakBadges[2].text.startsWith(QStringLiteral("≥115 dBA: ")));
}

TEST_F(PanelPresenterTest, TheSessionDoseNeverRunsAheadOfTheDaysDose) {
    // About 120 dBA: every tenth of a second adds more than 1 % to the dose.
    state->setCalibrationOffset(123.0);
    startSession();
    play(1000.0, 1.0);
    listen(1);
    // A tick that is counted and not yet published.
    backend.stream()->deliver({tone});
    QCoreApplication::sendPostedEvents();
    clock.advance(0.1);
    state->splFeedTick();
    ASSERT_GT(state->doseCalculator().accumulatedDose() * 100.0,
              state->doseCalculator().dosePercentage() + 1.0);
    // The session started the day, so it is the whole of the day's dose, neither more nor less.
    const ui::PanelModel shown = model();
    EXPECT_EQ(shown.activeSession->sessionDose, QStringLiteral("Session dose: ") + shown.header.dose.text);
}

// ---- time left ----

TEST_F(PanelPresenterTest, TimeLeftIsWorkedOutAtTheLastMinutesLeqOnceThereIsOneAndSaysSo) {
    setDose(50.0);
    startSession();
    play(1000.0, 1.0);
    ASSERT_FALSE(state->leqStatistics().leq1min());
    EXPECT_EQ(presenter->timeLeftLevel().levelDb, state->audioService().currentSPL());
    EXPECT_TRUE(model().doseBar.timeLeftBasis.startsWith(QStringLiteral("at the current level (")));

    listen(61);
    ASSERT_TRUE(state->leqStatistics().leq1min());
    // The music goes quiet: the minute behind still counts.
    play(1000.0, 0.01);
    ASSERT_LT(state->audioService().currentSPL(), 80.0);
    EXPECT_EQ(presenter->timeLeftLevel().levelDb, *state->leqStatistics().leq1min());
    EXPECT_TRUE(model().doseBar.timeLeft->text.startsWith(QStringLiteral("Time left: ")));
    EXPECT_EQ(model().doseBar.timeLeftBasis,
              TimeLeft::basisText(TimeLeft::Basis::lastMinute, *state->leqStatistics().leq1min()));
}

TEST_F(PanelPresenterTest, ConservativeModeCountsTheCWeightedLevelAsTheDoseDoes) {
    startSession();
    play(50.0, 1.0); // about 61 dBA and 90 dBC
    listen(1);
    EXPECT_EQ(model().doseBar.timeLeft->text, QStringLiteral("No dose accrues"));
    state->setConservativeDoseMode(true);
    settle();
    EXPECT_EQ(presenter->timeLeftLevel().levelDb, state->audioService().currentDBC());
    EXPECT_TRUE(model().doseBar.timeLeft->text.startsWith(QStringLiteral("Time left: ")));
    EXPECT_TRUE(
        model().doseBar.timeLeftBasis.startsWith(QStringLiteral("at the current C-weighted level (")));
    EXPECT_EQ(model().today->conservativeMode->colour, ColourRole::blue);
}

TEST_F(PanelPresenterTest, TheLimitReachedLineIsRed) {
    setDose(100.0);
    startSession();
    play(1000.0, 1.0);
    const auto line = model().doseBar.timeLeft;
    ASSERT_TRUE(line);
    EXPECT_EQ(line->text, QStringLiteral("Daily limit reached"));
    EXPECT_EQ(line->colour, ColourRole::red);
}

} // namespace
} // namespace kavro

namespace kavro {
namespace {

class PanelCriteriaTest : public testing::PanelFixture {};

// Warned by the WHO weekly dose: the header names it and shows it, the line under the
// bar shows the picked criteria and the week, and the daily dose stays out of the header.
TEST_F(PanelCriteriaTest, TheChosenDoseLeadsAndThePickedCriteriaFollow) {
    preferences.setValue(platform::keys::warnBy.name, QStringLiteral("whoWeekly"));
    preferences.setValue(platform::keys::visibleCriteria.name, QByteArray(R"(["oshaPel","nioshRel"])"));
    preferences.setValue(
        platform::keys::criteriaToday.name,
        QByteArray(R"({"savedAt":"2025-03-14T13:00:00.000Z","oshaPel":0.25,"whoWeekly":0.5})"));
    restartState();
    ui::PanelPresenter panel(*state, updater);
    const ui::PanelModel shown = panel.model();
    EXPECT_EQ(shown.header.title, QStringLiteral("Hearing Dose · WHO weekly"));
    EXPECT_EQ(shown.header.dose.text, QStringLiteral("50.0%"));
    EXPECT_EQ(shown.header.level, models::DoseLevel::caution);
    EXPECT_EQ(shown.doseBar.criteriaLine, QStringLiteral("OSHA PEL 25 % · NIOSH REL 0 % · Week 50 %"));
}

} // namespace
} // namespace kavro
