// SPDX-License-Identifier: GPL-3.0-or-later
// The user's day start and the choice of the dose that warns, over the whole application.
#include "core/AppState.h"
#include "core/WarningDose.h"
#include "platform/SettingKey.h"
#include "services/CriteriaMeter.h"
#include "services/DoseCalculator.h"
#include "services/SessionManager.h"
#include "support/AppStateFixture.h"
#include "support/ParamNames.h"

#include <gtest/gtest.h>

namespace kavro {
namespace {

using kavro::testing::PrintTo;
using models::DoseLevel;

const QTimeZone kBerlin("Europe/Berlin");
constexpr int kSixAm = 6 * 60;

class DayStartTest : public testing::AppStateFixture {
protected:
    DayStartTest() {
        backend.inputs = {device(QStringLiteral("usb"), QStringLiteral("usb"))};
        clock.setTimeZone(kBerlin);
    }

    // The application at `time` on 14 March in Berlin, with the day starting as given,
    // in a loud session.
    void startLoudAt(QTime time, int dayStartMinutes) {
        clock.set(QDateTime(QDate(2025, 3, 14), time, kBerlin));
        preferences.setValue(platform::keys::dayStartMinutes.name, std::int64_t{dayStartMinutes});
        state = makeState(preferences);
        settle();
        startSession();
        play(1000.0, 1.0);
    }

    double dose() const { return state->doseCalculator().accumulatedDose(); }
};

struct NightCase {
    const char* name;
    int dayStartMinutes;
    // The night is one day: the dose goes on and the session is today's.
    bool oneDay;
};

class DayStartNight : public DayStartTest, public ::testing::WithParamInterface<NightCase> {};

// A session across midnight: at 00:00 the dose starts again; at 06:00 the whole night is
// one day, and the session, which keeps its real times, belongs to it.
TEST_P(DayStartNight, SessionAcrossMidnight) {
    startLoudAt(QTime(23, 59), GetParam().dayStartMinutes);
    listen(10.0);
    const double warm = dose();
    listen(10.0);
    const double perSecond = (dose() - warm) / 10.0;
    const double beforeMidnight = dose();
    listen(50.0); // to 00:00:10
    const double expected = GetParam().oneDay ? beforeMidnight + 50.0 * perSecond : 10.0 * perSecond;
    EXPECT_NEAR(dose(), expected, 0.5 * perSecond);
    state->endSession();
    const models::Session& stored = state->sessionManager().sessionHistory().front();
    EXPECT_EQ(stored.startDate, QDateTime(QDate(2025, 3, 14), QTime(23, 59), kBerlin));
    EXPECT_EQ(state->sessionManager().todaysCompletedDose() > 0.0, GetParam().oneDay)
        << "a session belongs to the day it started";
}

INSTANTIATE_TEST_SUITE_P(Days, DayStartNight,
                         ::testing::Values(NightCase{"Midnight", 0, false}, NightCase{"SixAm", kSixAm, true}),
                         kavro::testing::PrintedName{});

struct ChangeCase {
    const char* name;
    int from;
    int to;
    QTime nextReset;
};

class DayStartChange : public DayStartTest, public ::testing::WithParamInterface<ChangeCase> {};

// Changing the day start at 02:00 with a session running loses nothing, now or after a
// restart, and the next reset waits for the new start.
TEST_P(DayStartChange, ChangeAtTwoInTheMorningKeepsTheDose) {
    startLoudAt(QTime(1, 59, 30), GetParam().from);
    listen(40.0);
    const double before = dose();
    ASSERT_GT(before, 0.0);
    state->setDayStartMinutes(GetParam().to);
    listen(10.0);
    EXPECT_GT(dose(), before);
    const QDate nextDay = GetParam().to == 0 ? QDate(2025, 3, 15) : QDate(2025, 3, 14);
    EXPECT_EQ(state->nextDailyReset(), QDateTime(nextDay, GetParam().nextReset, kBerlin));

    const double kept = dose();
    restartState();
    EXPECT_NEAR(dose(), kept, 1e-12) << "the stored dose is still today's";
}

INSTANTIATE_TEST_SUITE_P(Days, DayStartChange,
                         ::testing::Values(ChangeCase{"MidnightToSix", 0, kSixAm, QTime(6, 0)},
                                           ChangeCase{"SixToMidnight", kSixAm, 0, QTime(0, 0)}),
                         kavro::testing::PrintedName{});

// A suspend across the day start: the first measurement after it starts a new day.
TEST_F(DayStartTest, SuspendAcrossTheDayStartResetsAtTheFirstMeasurement) {
    startLoudAt(QTime(5, 59, 30), kSixAm);
    listen(20.0);
    ASSERT_GT(dose(), 0.0);
    clock.advance(3 * 3600.0); // no timer ran
    listen(0.1);
    EXPECT_EQ(dose(), 0.0);
}

// Warned by the OSHA PEL: its band drives the icon and the notification, while the NIOSH
// daily dose stays in its own band and says nothing.
TEST_F(DayStartTest, TheChosenDoseDrivesTheBandAndItsNotification) {
    clock.set(QDateTime(QDate(2025, 3, 14), QTime(12, 0), kBerlin));
    preferences.setValue(platform::keys::warnBy.name, QStringLiteral("oshaPelDaily"));
    preferences.setValue(platform::keys::criteriaToday.name,
                         QByteArray(R"({"savedAt":"2025-03-14T10:00:00.000Z","oshaPel":0.399})"));
    state = makeState(preferences);
    settle();
    EXPECT_EQ(state->displayDoseLevel(), DoseLevel::safe);
    startSession();
    play(1000.0, 1.0);
    listen(60.0);
    settle();
    EXPECT_EQ(state->displayDoseLevel(), DoseLevel::caution);
    EXPECT_EQ(state->doseCalculator().doseLevel(), DoseLevel::safe);
    const auto& requests = notifications.requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const auto& request) { return request.identifier == "dose-caution"; }),
              1);
}

} // namespace
} // namespace kavro
