// SPDX-License-Identifier: GPL-3.0-or-later
#include "services/CalibrationLog.h"
#include "platform/MemoryPreferencesStore.h"
#include "platform/SettingKey.h"
#include "support/ParamNames.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace kavro::services;
using kavro::models::CalibrationRecord;
using Method = CalibrationRecord::Method;
namespace keys = kavro::platform::keys;

namespace {

using kavro::testing::PrintTo;

const QDateTime kNow(QDate(2026, 12, 7), QTime(10, 0), QTimeZone::utc());

CalibrationRecord calibrated(Method method, const QDateTime& at) {
    CalibrationRecord record;
    record.method = method;
    record.offset = 113.4;
    record.setAt = at;
    record.deviceUID = QStringLiteral("usb-mic");
    record.channel = 1;
    record.sampleRate = 48000;
    return record;
}

struct MisfitCase {
    const char* name;
    CalibrationRecord record;
    InputInUse input;
    std::vector<CalibrationMisfit> causes;
};

class MisfitTable : public ::testing::TestWithParam<MisfitCase> {};

TEST_P(MisfitTable, NamesEveryReasonTheCalibrationMayNotFit) {
    EXPECT_EQ(calibrationMisfits(GetParam().record, GetParam().input, kNow, 90), GetParam().causes);
}

const InputInUse kSameInput{QStringLiteral("usb-mic"), {}, 1, 48000};
const CalibrationRecord kFresh = calibrated(Method::calibrator, kNow.addDays(-3));

INSTANTIATE_TEST_SUITE_P(
    Inputs, MisfitTable,
    ::testing::Values(
        MisfitCase{"fits", kFresh, kSameInput, {}},
        MisfitCase{"capture_not_running", kFresh, {QStringLiteral("usb-mic"), {}, 1, 0}, {}},
        MisfitCase{"other_device",
                   kFresh,
                   {QStringLiteral("webcam"), {}, 0, 44100},
                   {CalibrationMisfit::otherInput, CalibrationMisfit::otherSampleRate}},
        MisfitCase{"other_channel",
                   kFresh,
                   {QStringLiteral("usb-mic"), {}, 0, 48000},
                   {CalibrationMisfit::otherChannel}},
        MisfitCase{"ninety_one_days_old",
                   calibrated(Method::referenceMeter, kNow.addDays(-91)),
                   kSameInput,
                   {CalibrationMisfit::tooOld}},
        MisfitCase{"default_nobody_set", CalibrationRecord{}, kSameInput, {CalibrationMisfit::neverSet}},
        MisfitCase{"set_by_an_earlier_version",
                   CalibrationRecord{.method = Method::byHand, .offset = 100},
                   kSameInput,
                   {}}),
    kavro::testing::PrintedName());

TEST(CalibrationLog, KeepsTheLastTwentyNewestFirstAndOneEntryPerHandAdjustment) {
    kavro::platform::MemoryPreferencesStore preferences;
    {
        CalibrationLog log{kavro::platform::Settings(preferences)};
        for (int day = 0; day < 25; ++day) {
            log.record(calibrated(Method::calibrator, kNow.addDays(day)));
        }
        // Dragging the slider for a minute is one adjustment.
        log.record(calibrated(Method::byHand, kNow.addDays(30)));
        log.record(calibrated(Method::byHand, kNow.addDays(30).addSecs(60)));
    }
    const CalibrationLog reopened{kavro::platform::Settings(preferences)};
    const QList<CalibrationRecord>& history = reopened.history();
    ASSERT_EQ(history.size(), CalibrationLog::kHistoryLength);
    EXPECT_EQ(history[0].setAt, kNow.addDays(30).addSecs(60));
    EXPECT_EQ(history[1].setAt, kNow.addDays(24));
    EXPECT_EQ(history.back().setAt, kNow.addDays(6));
}

TEST(CalibrationLog, WithoutARecordTheStoredOffsetSaysWhetherAnyoneSetIt) {
    kavro::platform::MemoryPreferencesStore preferences;
    kavro::platform::Settings settings(preferences);
    EXPECT_EQ(CalibrationLog(settings).current().method, Method::defaultValue);
    settings.setValue(keys::calibrationOffset, 101.5);
    EXPECT_EQ(CalibrationLog(settings).current().method, Method::byHand);
    // A record of another offset than the stored one is out of date.
    CalibrationLog log(settings);
    log.record(calibrated(Method::calibrator, kNow));
    EXPECT_EQ(log.current().method, Method::byHand);
    settings.setValue(keys::calibrationOffset, 113.4);
    EXPECT_EQ(log.current().method, Method::calibrator);
}

} // namespace
