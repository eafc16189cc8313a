// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/DoseCalculator.h"
#include "dsp/DoseMath.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/SettingKey.h"
#include "platform/testing/ManualClock.h"
#include "support/ParamNames.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace keys = kavro::platform::keys;

namespace {

using kavro::models::DoseLevel;
using kavro::platform::testing::ManualClock;
using kavro::services::DoseCalculator;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

void runPostedTasks() {
    QCoreApplication::sendPostedEvents();
}

class DoseCalculatorTest : public ::testing::Test {
protected:
    // One reading at the clock's time, then the clock moves on.
    void measure(double dBA, double stepSeconds = 0.1, double dBC = 0, double peakDBC = 0,
                 double peakDBA = 0) {
        calculator.addMeasurement(dBA, dBC, peakDBC, peakDBA, clock.now());
        clock.advance(stepSeconds);
    }
    // Readings every 0.1 s for `seconds`, plus the closing reading: the first call
    // only sets the time, so exactly `seconds` of listening are counted.
    void listen(double dBA, double seconds) {
        const auto steps = static_cast<int>(std::lround(seconds * 10.0));
        for (int i = 0; i <= steps; ++i) {
            measure(dBA);
        }
        runPostedTasks();
    }

    ManualClock clock;
    kavro::platform::MemoryPreferencesStore store;
    DoseCalculator calculator{store, clock};
};

struct HourCase {
    double dBA;
    double expectedPercent;
};

void PrintTo(const HourCase& hour, std::ostream* os) {
    *os << hour.dBA << " dBA";
}

class DoseCalculatorHour : public DoseCalculatorTest, public ::testing::WithParamInterface<HourCase> {};

TEST_P(DoseCalculatorHour, OneHourAtAConstantLevel) {
    listen(GetParam().dBA, 3600.0);
    EXPECT_NEAR(calculator.dosePercentage(), GetParam().expectedPercent, 1e-9);
    EXPECT_NEAR(calculator.accumulatedDose() * 100.0, GetParam().expectedPercent, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(NioshReferencePoints, DoseCalculatorHour,
                         ::testing::Values(HourCase{85.0, 12.5}, HourCase{88.0, 25.0}, HourCase{79.9, 0.0},
                                           // 80 dB is counted: 100 % takes 8 × 2^(5/3) ≈ 25.4 h.
                                           HourCase{80.0, 100.0 / (8.0 * std::exp2(5.0 / 3.0))},
                                           HourCase{100.0, 400.0}),
                         kavro::testing::PrintedName());

TEST_F(DoseCalculatorTest, GapOfAMinuteOrMoreIsDroppedWholeAndPublishesNothing) {
    measure(85.0, 59.9);
    measure(85.0, 1.0);
    runPostedTasks();
    EXPECT_NEAR(calculator.accumulatedDose(), 59.9 / (8 * 3600.0), 1e-15);
    const double afterShortGap = calculator.accumulatedDose();

    clock.advance(59.0); // the last reading is now exactly 60.0 s old
    QSignalSpy spy(&calculator, &DoseCalculator::changed);
    measure(85.0);
    runPostedTasks();
    EXPECT_EQ(calculator.accumulatedDose(), afterShortGap);
    EXPECT_EQ(spy.count(), 0);

    // The gap reading became the new starting point: listening goes on from there.
    measure(85.0);
    EXPECT_NEAR(calculator.accumulatedDose() - afterShortGap, 0.1 / (8 * 3600.0), 1e-15);
}

TEST_F(DoseCalculatorTest, ClockSetBackwardsNeverReducesTheDose) {
    listen(91.0, 10.0);
    const double before = calculator.accumulatedDose();
    clock.advance(-3600.0);
    measure(91.0);
    EXPECT_EQ(calculator.accumulatedDose(), before);
    measure(91.0); // 0.1 s after the new, earlier time
    EXPECT_NEAR(calculator.accumulatedDose() - before, kavro::dsp::dose::doseFraction(91.0, 0.1), 1e-15);
}

// A step counts with the level that ends it: quiet time is never counted later, and
// levels that are not numbers accrue nothing. Each run counts two loud steps.
TEST_F(DoseCalculatorTest, OnlyStepsEndingInALoudLevelAccrue) {
    const std::vector<double> runs[] = {
        {85.0, 70.0, 70.0, 70.0, 85.0, 85.0},
        {85.0, kNaN, std::numeric_limits<double>::infinity(), 85.0, 85.0},
    };
    for (const auto& levels : runs) {
        calculator.reset();
        for (const double level : levels) {
            measure(level);
        }
        EXPECT_NEAR(calculator.accumulatedDose(), kavro::dsp::dose::doseFraction(85.0, 0.2), 1e-15);
    }
}

struct ModeCase {
    bool conservative;
    double dBA;
    double dBC;
    double effective;
};

void PrintTo(const ModeCase& mode, std::ostream* os) {
    *os << (mode.conservative ? "conservative " : "standard ") << mode.dBA << " dBA " << mode.dBC << " dBC";
}

class DoseCalculatorMode : public DoseCalculatorTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(DoseCalculatorMode, EffectiveLevel) {
    const ModeCase& mode = GetParam();
    calculator.setConservativeMode(mode.conservative);
    measure(mode.dBA, 1.0, mode.dBC);
    measure(mode.dBA, 1.0, mode.dBC);
    const double expected =
        mode.effective >= 80.0 ? kavro::dsp::dose::doseFraction(mode.effective, 1.0) : 0.0;
    EXPECT_DOUBLE_EQ(calculator.accumulatedDose(), expected);
}

INSTANTIATE_TEST_SUITE_P(ConservativeMode, DoseCalculatorMode,
                         ::testing::Values(ModeCase{true, 82, 91, 91}, ModeCase{false, 82, 91, 82},
                                           ModeCase{true, 90, 85, 90}, ModeCase{false, 90, 85, 90},
                                           // C loud enough while A is below the threshold.
                                           ModeCase{true, 75, 83, 83}, ModeCase{false, 75, 83, 75}),
                         kavro::testing::PrintedName());

struct PeakCase {
    double peakDBC;
    std::int64_t count135, count137, count140;
    double todayPeak;
    int alerts;
};

void PrintTo(const PeakCase& peak, std::ostream* os) {
    *os << peak.peakDBC << " dBC";
}

class DoseCalculatorPeak : public DoseCalculatorTest, public ::testing::WithParamInterface<PeakCase> {};

TEST_P(DoseCalculatorPeak, CumulativeCountersAndOneAlertPerCall) {
    const PeakCase& peak = GetParam();
    calculator.addMeasurement(60, 60, 120.0, 0, clock.now()); // an earlier, lower peak of today
    std::vector<double> alerts;
    calculator.onPeakAlert = [&](double value) { alerts.push_back(value); };
    calculator.addMeasurement(60, 60, peak.peakDBC, 0, clock.now());
    // The alert runs inside the call, not in a later task.
    ASSERT_EQ(static_cast<int>(alerts.size()), peak.alerts);
    if (peak.alerts) {
        EXPECT_EQ(alerts.front(), peak.peakDBC);
    }
    EXPECT_EQ(calculator.peakCount135(), peak.count135);
    EXPECT_EQ(calculator.peakCount137(), peak.count137);
    EXPECT_EQ(calculator.peakCount140(), peak.count140);
    EXPECT_EQ(calculator.todayPeakDBC(), peak.todayPeak);
}

INSTANTIATE_TEST_SUITE_P(EuPeakValues, DoseCalculatorPeak,
                         ::testing::Values(PeakCase{141, 1, 1, 1, 141, 1}, PeakCase{140, 1, 1, 1, 140, 1},
                                           PeakCase{137, 1, 1, 0, 137, 1}, PeakCase{136, 1, 0, 0, 136, 1},
                                           PeakCase{135, 1, 0, 0, 135, 1}, PeakCase{134.9, 0, 0, 0, 134.9, 0},
                                           PeakCase{110, 0, 0, 0, 120, 0}, PeakCase{0, 0, 0, 0, 120, 0},
                                           PeakCase{-3, 0, 0, 0, 120, 0}, PeakCase{kNaN, 0, 0, 0, 120, 0}),
                         kavro::testing::PrintedName());

TEST_F(DoseCalculatorTest, InstantaneousAPeakCountsFrom115) {
    std::vector<double> alerts;
    calculator.onInstantaneousPeakAlert = [&](double value) { alerts.push_back(value); };
    measure(60, 0.1, 60, 0, 114.99);
    measure(60, 0.1, 60, 0, 115.0);
    measure(60, 0.1, 60, 0, 121.5);
    EXPECT_EQ(calculator.peakDBACount115(), 2);
    EXPECT_EQ(alerts, (std::vector<double>{115.0, 121.5}));
}

TEST_F(DoseCalculatorTest, PeaksAreStoredWithTheNextAccrualOnly) {
    measure(60, 0.1, 60, 138, 116);
    EXPECT_FALSE(store.contains(keys::peakCount135.name));
    measure(90);
    measure(90);
    EXPECT_EQ(store.integer(keys::peakCount135.name), 1);
    EXPECT_EQ(store.integer(keys::peakCount137.name), 1);
    EXPECT_EQ(store.integer(keys::peakCount140.name), 0);
    EXPECT_EQ(store.doubleValue(keys::todayPeakDBC.name), 138.0);
    EXPECT_EQ(store.integer(keys::peakDBACount115.name), 1);
    EXPECT_EQ(store.doubleValue(keys::accumulatedDose.name), calculator.accumulatedDose());
    EXPECT_EQ(store.date(keys::doseDate.name), clock.now().addMSecs(-100));
}

TEST_F(DoseCalculatorTest, BandCrossingIsAnnouncedOnceFromThePostedTask) {
    std::vector<DoseLevel> crossings;
    calculator.onThresholdCrossed = [&](DoseLevel level) { crossings.push_back(level); };
    calculator.overrideDose(39.99);
    runPostedTasks();
    EXPECT_EQ(calculator.doseLevel(), DoseLevel::safe);

    measure(100.0);
    measure(100.0); // +0.0139 % at 100 dB: over 40 %
    EXPECT_TRUE(crossings.empty()) << "the band is published only when control returns to the loop";
    EXPECT_NEAR(calculator.dosePercentage(), 39.99, 1e-12);
    runPostedTasks();
    EXPECT_EQ(crossings, std::vector<DoseLevel>{DoseLevel::caution});
    EXPECT_EQ(calculator.doseLevel(), DoseLevel::caution);

    listen(100.0, 5.0);
    EXPECT_EQ(crossings.size(), 1u) << "staying in the band calls nothing";

    calculator.overrideDose(10.0);
    runPostedTasks();
    EXPECT_EQ(calculator.doseLevel(), DoseLevel::safe);
    listen(100.0, 1.0);
    EXPECT_EQ(crossings.size(), 1u) << "moving down silently, then accruing within safe, calls nothing";
}

TEST_F(DoseCalculatorTest, ProjectionAssumesTheRestOfAnEightHourDay) {
    measure(85.0);
    runPostedTasks();
    EXPECT_DOUBLE_EQ(calculator.projectedDoseAtEndOfDay(), 100.0); // first call: D = 0, 8 h at 85 dB

    listen(88.0, 3600.0);
    const double dose = calculator.accumulatedDose();
    EXPECT_NEAR(calculator.projectedDoseAtEndOfDay(), (dose + 0.25 * (8.0 - 8.0 * dose)) * 100.0, 1e-9);

    // Below 80 dB the projection keeps its last value.
    const double projected = calculator.projectedDoseAtEndOfDay();
    listen(70.0, 2.0);
    EXPECT_EQ(calculator.projectedDoseAtEndOfDay(), projected);

    calculator.overrideDose(150.0);
    listen(85.0, 1.0);
    EXPECT_DOUBLE_EQ(calculator.projectedDoseAtEndOfDay(), calculator.accumulatedDose() * 100.0);
}

TEST_F(DoseCalculatorTest, ReconcileOnlyRaisesAndOverrideMayLower) {
    calculator.overrideDose(25.0);
    calculator.setSessionStartDose(0.25);
    calculator.reconcileWithSessions(30.0);
    EXPECT_DOUBLE_EQ(calculator.accumulatedDose(), 0.30);
    EXPECT_DOUBLE_EQ(calculator.sessionStartDose(), 0.30);
    EXPECT_EQ(store.doubleValue(keys::accumulatedDose.name), calculator.accumulatedDose());

    calculator.overrideDose(35.0);
    calculator.setSessionStartDose(0.35);
    calculator.reconcileWithSessions(30.0);
    calculator.reconcileWithSessions(kNaN);
    EXPECT_DOUBLE_EQ(calculator.accumulatedDose(), 0.35);

    calculator.setSessionStartDose(0.3);
    calculator.overrideDose(20.0);
    EXPECT_DOUBLE_EQ(calculator.accumulatedDose(), 0.2);
    EXPECT_DOUBLE_EQ(calculator.sessionStartDose(), 0.2);
    calculator.overrideDose(kNaN);
    EXPECT_DOUBLE_EQ(calculator.accumulatedDose(), 0.2);

    // A later override upwards leaves the session's start mark where it was.
    calculator.overrideDose(50.0);
    EXPECT_DOUBLE_EQ(calculator.sessionStartDose(), 0.2);
    runPostedTasks();
    EXPECT_DOUBLE_EQ(calculator.dosePercentage(), 50.0);
    EXPECT_EQ(calculator.doseLevel(), DoseLevel::caution);
    EXPECT_EQ(calculator.previousDoseLevel(), DoseLevel::caution);
}

// Today at 30 %: session A ended with 9.1 %, 0.1 % was heard outside sessions, and
// session B (marked at 9.2 %) is running or has just ended. Deleting a session takes
// its share away and nothing else.
TEST_F(DoseCalculatorTest, DeletingASessionTakesAwayOnlyItsShare) {
    struct Case {
        const char* name;
        bool running;
        double deleted, remaining;
        double dose, runningShare;
    };
    for (const Case& test : {
             Case{"A, with B running", true, 9.1, 0.0, 20.9, 20.8},
             Case{"A, with none running", false, 9.1, 20.8, 20.9, 0},
             Case{"a share that cannot be, with B running", true, -5.0, 9.1, 30.0, 20.8},
             // A dose restored lower than the history says: the rest and B stay whole.
             Case{"A, the others above the dose, with B running", true, 9.1, 12.0, 32.8, 20.8},
             Case{"A, the others above the dose, with none running", false, 9.1, 35.0, 35.0, 0},
         }) {
        calculator.reset();
        measure(85.0, 0.1, 0, 141.0, 116.0);
        calculator.overrideDose(30.0);
        calculator.setSessionStartDose(0.092);
        calculator.removeSessionDose(test.deleted, test.remaining, test.running);
        runPostedTasks();
        EXPECT_NEAR(calculator.dosePercentage(), test.dose, 1e-9) << test.name;
        EXPECT_EQ(store.doubleValue(keys::accumulatedDose.name), calculator.accumulatedDose()) << test.name;
        if (test.running) {
            EXPECT_NEAR((calculator.accumulatedDose() - calculator.sessionStartDose()) * 100.0,
                        test.runningShare, 1e-9)
                << test.name;
        }
        EXPECT_LE(calculator.sessionStartDose(), calculator.accumulatedDose()) << test.name;
        EXPECT_EQ(calculator.peakCount140(), 1) << test.name;
        EXPECT_EQ(calculator.peakDBACount115(), 1) << test.name;
        EXPECT_EQ(calculator.todayPeakDBC(), 141.0) << test.name;
    }
}

TEST_F(DoseCalculatorTest, ResetClearsTheDayAndDropsMeasurementsStillInFlight) {
    calculator.setConservativeMode(true);
    store.setBool(keys::doseConservativeMode.name, true);
    std::vector<DoseLevel> crossings;
    calculator.onThresholdCrossed = [&](DoseLevel level) { crossings.push_back(level); };
    calculator.overrideDose(39.99);
    runPostedTasks();
    measure(100.0, 0.1, 100.0, 141.0, 120.0);
    measure(100.0, 0.1, 100.0, 141.0, 120.0); // into caution; its task is still queued
    calculator.reset();
    runPostedTasks();

    EXPECT_TRUE(crossings.empty());
    EXPECT_EQ(calculator.dosePercentage(), 0.0);
    EXPECT_EQ(calculator.doseLevel(), DoseLevel::safe);
    EXPECT_EQ(calculator.projectedDoseAtEndOfDay(), 0.0);
    EXPECT_EQ(calculator.accumulatedDose(), 0.0);
    EXPECT_EQ(calculator.peakCount135(), 0);
    EXPECT_EQ(calculator.peakDBACount115(), 0);
    EXPECT_EQ(calculator.todayPeakDBC(), 0.0);
    for (const auto key :
         {keys::accumulatedDose.name, keys::doseDate.name, keys::peakCount135.name, keys::peakCount137.name,
          keys::peakCount140.name, keys::todayPeakDBC.name, keys::peakDBACount115.name}) {
        EXPECT_FALSE(store.contains(key)) << key.data();
    }
    EXPECT_EQ(store.boolValue(keys::doseConservativeMode.name), true);

    // The first reading after a reset only sets the time.
    measure(85.0);
    EXPECT_EQ(calculator.accumulatedDose(), 0.0);
}

TEST(DoseCalculatorLifetime, TaskOfADestroyedCalculatorDoesNothing) {
    ManualClock clock;
    kavro::platform::MemoryPreferencesStore store;
    int crossings = 0;
    auto calculator = std::make_unique<DoseCalculator>(store, clock);
    calculator->onThresholdCrossed = [&](DoseLevel) { ++crossings; };
    calculator->overrideDose(39.99);
    calculator->addMeasurement(120, 0, 0, 0, clock.now());
    calculator->addMeasurement(120, 0, 0, 0, clock.now().addSecs(10));
    calculator.reset();
    runPostedTasks();
    EXPECT_EQ(crossings, 0);
}

// The same-day rule across a restart: the preferences written by one calculator, read
// by new ones.
class DoseCalculatorRestart : public ::testing::Test {
protected:
    // Runs a first "launch" that accrues a dose and some peaks at the clock's time.
    void runFirstLaunch() {
        stored.setBool(keys::doseConservativeMode.name, true);
        DoseCalculator calculator(stored, clock);
        calculator.addMeasurement(95, 0, 141, 116, clock.now());
        calculator.addMeasurement(95, 0, 136, 0, clock.now().addSecs(30));
        firstDose = calculator.accumulatedDose();
        runPostedTasks();
    }

    kavro::platform::MemoryPreferencesStore stored;
    ManualClock clock{QDateTime(QDate(2025, 3, 14), QTime(22, 30), QTimeZone::utc())};
    double firstDose = 0;
};

TEST_F(DoseCalculatorRestart, SameDayContinuesTheStoredDoseSilently) {
    runFirstLaunch();
    clock.advance(3600.0); // 23:30 the same day
    DoseCalculator calculator(stored, clock);
    int crossings = 0;
    calculator.onThresholdCrossed = [&](DoseLevel) { ++crossings; };
    calculator.restorePersistedDose();

    EXPECT_TRUE(calculator.conservativeMode());
    EXPECT_EQ(calculator.accumulatedDose(), firstDose);
    EXPECT_EQ(calculator.sessionStartDose(), firstDose);
    EXPECT_EQ(calculator.peakCount135(), 2);
    EXPECT_EQ(calculator.peakCount137(), 1);
    EXPECT_EQ(calculator.peakCount140(), 1);
    EXPECT_EQ(calculator.todayPeakDBC(), 141.0);
    EXPECT_EQ(calculator.peakDBACount115(), 1);
    EXPECT_EQ(calculator.dosePercentage(), 0.0) << "published only from the posted task";
    runPostedTasks();
    EXPECT_DOUBLE_EQ(calculator.dosePercentage(), firstDose * 100.0);
    EXPECT_EQ(calculator.doseLevel(), kavro::models::doseLevelForPercentage(firstDose * 100.0));
    EXPECT_EQ(calculator.previousDoseLevel(), calculator.doseLevel());
    EXPECT_EQ(calculator.projectedDoseAtEndOfDay(), 0.0);
    EXPECT_EQ(crossings, 0);
}

TEST_F(DoseCalculatorRestart, StoredDoseOfYesterdayIsClearedAtLaunch) {
    runFirstLaunch();
    clock.advance(2 * 3600.0); // 00:30 the next day
    {
        DoseCalculator calculator(stored, clock);
        calculator.restorePersistedDose();
        runPostedTasks();
        EXPECT_EQ(calculator.accumulatedDose(), 0.0);
        EXPECT_EQ(calculator.peakCount135(), 0);
        EXPECT_TRUE(calculator.conservativeMode());
    }
    const auto& reopened = stored;
    EXPECT_FALSE(reopened.contains(keys::accumulatedDose.name));
    EXPECT_FALSE(reopened.contains(keys::doseDate.name));
    EXPECT_FALSE(reopened.contains(keys::peakCount135.name));
    EXPECT_FALSE(reopened.contains(keys::peakDBACount115.name));
    EXPECT_EQ(reopened.boolValue(keys::doseConservativeMode.name), true);
}

TEST_F(DoseCalculatorRestart, TodayIsTheUsersCalendarDayNotUtc) {
    runFirstLaunch(); // 22:30 UTC = 07:30 the next morning in Tokyo
    clock.setTimeZone(QTimeZone("Asia/Tokyo"));
    clock.advance(3600.0); // 23:30 UTC: still the same Tokyo morning
    DoseCalculator calculator(stored, clock);
    calculator.restorePersistedDose();
    EXPECT_EQ(calculator.accumulatedDose(), firstDose);
}

TEST(DoseCalculatorRestore, MissingOrMistypedDateClearsAndZeroDoseRestoresNothing) {
    ManualClock clock;
    kavro::platform::MemoryPreferencesStore store;
    store.setString(keys::doseDate.name, clock.now().toString(Qt::ISODate));
    store.setDouble(keys::accumulatedDose.name, 0.5);
    DoseCalculator calculator(store, clock);
    calculator.restorePersistedDose();
    EXPECT_EQ(calculator.accumulatedDose(), 0.0);
    EXPECT_FALSE(store.contains(keys::accumulatedDose.name));

    store.setDate(keys::doseDate.name, clock.now());
    store.setInteger(keys::accumulatedDose.name, 1); // wrong type reads as 0
    store.setInteger(keys::peakCount135.name, 4);
    calculator.restorePersistedDose();
    EXPECT_EQ(calculator.accumulatedDose(), 0.0);
    EXPECT_EQ(calculator.peakCount135(), 0);
    EXPECT_TRUE(store.contains(keys::peakCount135.name)) << "the keys stay as they are";
}

// A preferences file damaged or edited by hand: a value no day can reach is reset and
// named in one line, and what was reset is written back; a value at the edge of a day
// is kept. A dose no day can reach takes the whole stored day with it.
TEST(DoseCalculatorRestore, StoredValuesNoDayCanReachAreResetInOneLine) {
    struct Case {
        QLatin1String key;
        kavro::platform::PreferencesStore::Value stored;
        bool reset;
        double dose, peak;
        std::int64_t count135;
    };
    const double mostDose = DoseCalculator::mostDoseInADay();
    const std::int64_t mostCounts = DoseCalculator::kMostCountsInADay;
    for (const Case& test : {
             Case{keys::accumulatedDose.name, 1e308, true, 0, 0, 0},
             Case{keys::accumulatedDose.name, -0.25, true, 0, 0, 0},
             Case{keys::accumulatedDose.name, kNaN, true, 0, 0, 0},
             Case{keys::accumulatedDose.name, mostDose, false, mostDose, 136, 3},
             Case{keys::todayPeakDBC.name, 1e308, true, 0.5, 0, 3},
             Case{keys::todayPeakDBC.name, -1.0, true, 0.5, 0, 3},
             Case{keys::todayPeakDBC.name, 200.0, false, 0.5, 200, 3},
             Case{keys::peakCount135.name, std::numeric_limits<std::int64_t>::max(), true, 0.5, 136, 0},
             Case{keys::peakCount135.name, std::int64_t{-2}, true, 0.5, 136, 0},
             Case{keys::peakCount135.name, mostCounts, false, 0.5, 136, mostCounts},
             Case{keys::peakDBACount115.name, mostCounts + 1, true, 0.5, 136, 3},
         }) {
        const std::string name = test.key.toString().toStdString();
        ManualClock clock;
        kavro::platform::MemoryPreferencesStore store;
        store.setDate(keys::doseDate.name, clock.now());
        store.setDouble(keys::accumulatedDose.name, 0.5);
        store.setDouble(keys::todayPeakDBC.name, 136.0);
        store.setInteger(keys::peakCount135.name, 3);
        store.setValue(test.key, test.stored);
        DoseCalculator calculator(store, clock);

        const std::optional<QString> line = calculator.restorePersistedDose();
        runPostedTasks();
        ASSERT_EQ(line.has_value(), test.reset) << name;
        if (line) {
            EXPECT_TRUE(line->contains(test.key)) << line->toStdString();
            EXPECT_NE(store.value(test.key), std::optional(test.stored)) << name << ": written back";
        }
        EXPECT_EQ(calculator.accumulatedDose(), test.dose) << name;
        EXPECT_EQ(calculator.dosePercentage(), test.dose * 100.0) << name;
        EXPECT_EQ(calculator.todayPeakDBC(), test.peak) << name;
        EXPECT_EQ(calculator.peakCount135(), test.count135) << name;
    }
}

} // namespace
