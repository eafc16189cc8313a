// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/WeeklyExposure.h"
#include "dsp/ExposureCriteria.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/testing/ManualClock.h"
#include "services/CriteriaMeter.h"
#include "support/HistoryDays.h"

#include <gtest/gtest.h>

namespace kavro::services {
namespace {

namespace criteria = dsp::criteria;
using criteria::Criterion;
using models::Session;
using platform::testing::ManualClock;
using testing::berlin;
using testing::completedSession;
using testing::kBerlin;
using testing::kToday;

Session loudHour(const QDateTime& start) {
    Session session = completedSession(start, 0, 60);
    session.soundExposure = criteria::soundExposurePa2h(95.0, 3600.0);
    return session;
}

// The week is its days: days without sessions count nothing, a session counts on the
// day it started (a day that starts at 06:00 here), the day before the week not at all,
// and today is the larger of the running figure and today's sessions.
TEST(WeeklyExposureTest, SevenDaysFromTheHistoryAndToday) {
    ManualClock clock(berlin(kToday, 12), kBerlin);
    clock.setDayStartMinutes(6 * 60);
    const QList<Session> history{loudHour(berlin(kToday, 8)), loudHour(berlin(kToday.addDays(-2), 2)),
                                 loudHour(berlin(kToday.addDays(-6), 23)),
                                 loudHour(berlin(kToday.addDays(-6), 5))};
    const double hour = criteria::soundExposurePa2h(95.0, 3600.0);

    const WeeklyExposure week(history, clock, 0.0);
    const std::array<double, WeeklyExposure::kDays> expected{hour, 0, 0, hour, 0, 0, hour};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(week.days()[i].day, kToday.addDays(static_cast<qint64>(i) - 6));
        EXPECT_NEAR(week.days()[i].soundExposure, expected[i], 1e-12) << "day " << i;
    }
    EXPECT_NEAR(week.dose(), 3 * 0.7906, 1e-3);
    EXPECT_NEAR(WeeklyExposure(history, clock, 2 * hour).dose(), 4 * 0.7906, 1e-3)
        << "today's running figure counts when it is higher";
}

// Today's figures survive a restart on the same day, and start from nothing the next day.
TEST(CriteriaMeterTest, TodaysFiguresContinueAfterARestartOnly) {
    ManualClock clock(berlin(kToday, 12), kBerlin);
    platform::MemoryPreferencesStore store;
    {
        CriteriaMeter meter(store, clock);
        for (int i = 0; i <= 36000; ++i) {
            meter.addMeasurement(95.0, clock.now());
            clock.advance(0.1);
        }
        ASSERT_NEAR(meter.today().dose(Criterion::oshaPel), 0.25, 1e-6);
        // Measurements store once a second; the owner stores the rest as it quits.
        meter.store();
    }
    CriteriaMeter restarted(store, clock);
    restarted.restore();
    EXPECT_NEAR(restarted.today().dose(Criterion::oshaPel), 0.25, 1e-6);
    EXPECT_NEAR(restarted.todaySoundExposure(), criteria::soundExposurePa2h(95.0, 3600.0), 1e-6);

    clock.advance(24 * 3600.0);
    CriteriaMeter nextDay(store, clock);
    nextDay.restore();
    EXPECT_EQ(nextDay.today().dose(Criterion::oshaPel), 0.0);
}

} // namespace
} // namespace kavro::services
